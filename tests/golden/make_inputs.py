#!/usr/bin/env python3
"""Writes the data files the golden outputs are made from, the same bytes on
every run: one recording, a logger set, a station's March (the spring clock
change, exclusions with and without offsets), a station's late October (the
repeated hour written twice, as a station writes it) and a damaged file.
Stamps are the wall clock of Europe/Berlin, computed here without the
machine's zone."""
import datetime
import os
import sys

CRLF = "\r\n"


class Noise:
    """A small linear congruential generator: the same levels everywhere."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) % 2**31
        return self.state / 2**31


def berlin_offset(utc):
    """Central European time: +1 h, +2 h from the last Sunday of March 01:00 UTC
    to the last Sunday of October 01:00 UTC."""
    def last_sunday(year, month):
        day = datetime.datetime(year, month + 1, 1) - datetime.timedelta(days=1)
        return day - datetime.timedelta(days=(day.weekday() + 1) % 7)
    start = last_sunday(utc.year, 3).replace(hour=1)
    end = last_sunday(utc.year, 10).replace(hour=1)
    return datetime.timedelta(hours=2 if start <= utc < end else 1)


def level(noise, local):
    hour = local.hour
    base = 62.0 if 7 <= hour < 19 else 56.0 if 19 <= hour < 23 else 44.0
    value = base + noise.next() * 12.0 - 4.0
    if noise.next() < 0.002:
        value += 20.0
    return "%.1f" % value


def header(kind, step, start_text):
    if kind == "Real Time":
        return ["Real Time", " %d " % step, "A", "Slow", "30-90", "61.0", start_text, "95.5",
                "60.0"]
    return ["Data Logger", " %d " % step, "C", "Fast", "30-90", "61.0", "60.0", "55.5", "50.1",
            "49.0", "88.8", start_text, "99.9", "77.7"]


def write(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(CRLF.join(lines) + CRLF)


def readings_at(utc_from, utc_to, step, noise):
    """(moment, local wall-clock text, level) for each reading, in order."""
    rows = []
    t = utc_from
    while t < utc_to:
        local = t + berlin_offset(t)
        rows.append((t, local.strftime("%Y/%m/%d %H:%M:%S"), level(noise, local)))
        t += datetime.timedelta(seconds=step)
    return rows


def readings(utc_from, utc_to, step, noise):
    """(local wall-clock text, level) for each reading, in order."""
    return [(text, value) for _, text, value in readings_at(utc_from, utc_to, step, noise)]


def data_file(path, kind, step, rows):
    lines = header(kind, step, rows[0][0]) + ["No.s\tDate Time\tdB\t"]
    lines += ["%d\t%s\t%s\t" % (i + 1, stamp, value) for i, (stamp, value) in enumerate(rows)]
    write(path, lines)


def station_days(folder, year, month, first, last, step, seed):
    """Day files from local midnight to local midnight, stamped as a station
    does; returns every reading as (moment, text, level)."""
    os.makedirs(folder, exist_ok=True)
    noise = Noise(seed)
    every = []
    for day in range(first, last + 1):
        local_start = datetime.datetime(year, month, day)
        local_end = local_start + datetime.timedelta(days=1)
        utc_start = local_start - berlin_offset(local_start - datetime.timedelta(hours=1))
        utc_end = local_end - berlin_offset(local_end - datetime.timedelta(hours=1))
        rows = readings_at(utc_start, utc_end, step, noise)
        every += rows
        data_file(os.path.join(folder, "fence %04d-%02d-%02d.vorn" % (year, month, day)),
                  "Real Time", step, [(text, value) for _, text, value in rows])
    return every


def main(out):
    os.makedirs(out, exist_ok=True)
    utc = datetime.datetime(2026, 6, 3, 6, 0)
    data_file(os.path.join(out, "recording.vorn"), "Real Time", 1,
              readings(utc, utc + datetime.timedelta(hours=1), 1, Noise(7)))
    rows = readings(utc, utc + datetime.timedelta(hours=2), 10, Noise(11))
    rows[40] = (rows[40][0], "L")
    rows[41] = (rows[41][0], "95.2*")
    data_file(os.path.join(out, "logger.vorn"), "Data Logger", 10, rows)

    march = os.path.join(out, "march")
    station_days(march, 2026, 3, 1, 31, 10, 3)
    write(os.path.join(march, "fence exclusions.csv"), [
        "start,end,reason,note,made",
        "2026-03-03T10:00:00+01:00,2026-03-03T12:30:00+01:00,rain,heavy shower,2026-03-04T09:00:00+01:00",
        "2026-03-10T08:00:00,2026-03-10T09:00:00,wind,,2026-03-11T09:00:00+01:00",
        "2026-03-10T08:30:00,2026-03-10T10:00:00,extraneous sound,\"tractor, then \"\"mower\"\"\",2026-03-11T09:00:00+01:00",
        "2026-03-29T01:30:00+01:00,2026-03-29T03:30:00+02:00,maintenance,over the clock change,2026-03-30T09:00:00+02:00",
    ])

    # A weather station beside the fence for the first six days: a windy
    # hour and a rainy quarter, in a folder of its own so the station's
    # folder keeps its outputs.
    weather = ["time,wind_speed,wind_gust,wind_direction,rain,temperature"]
    start = datetime.datetime(2026, 3, 1, 0, 2)
    for i in range(6 * 720):
        t = start + datetime.timedelta(minutes=2 * i)
        windy = t.day == 3 and t.hour == 14
        rainy = t.day == 5 and t.hour == 9 and t.minute < 16
        weather.append("%s+01:00,%.1f,%.1f,200,%s,6.5" % (
            t.strftime("%Y-%m-%dT%H:%M:%S"), 7.2 if windy else 2.4, 11.0 if windy else 4.1,
            "0.4" if rainy else "0.0"))
    write(os.path.join(out, "weather", "march weather.csv"), weather)

    october = os.path.join(out, "october")
    station_days(october, 2026, 10, 20, 31, 10, 5)
    write(os.path.join(october, "fence exclusions.csv"), [
        "start,end,reason,note,made",
        "2026-10-25T02:10:00+02:00,2026-10-25T02:20:00+02:00,wind,first run,2026-10-26T09:00:00+01:00",
        "2026-10-25T02:40:00+01:00,2026-10-25T02:50:00+01:00,rain,second run,2026-10-26T09:00:00+01:00",
    ])

    rows = readings(utc, utc + datetime.timedelta(minutes=30), 1, Noise(13))
    lines = header("Real Time", 1, rows[0][0]) + ["No.s\tDate Time\tdB\t"]
    lines += ["%d\t%s\t%s\t" % (i + 1, stamp, value) for i, (stamp, value) in enumerate(rows[:900])]
    lines.append("901\tno tabs after this")
    body = ["%d\t%s\t%s\t" % (i + 1, stamp, value)
            for i, (stamp, value) in enumerate(rows[901:], start=901)]
    # A level with a NUL and an undefined byte in it, and a torn last line.
    stamp = rows[1200][0]
    body[1200 - 901] = "1201\t%s\t5\x00\x817.1\t" % stamp
    lines += body + ["1801\t2026/06/03 08:30:0"]
    with open(os.path.join(out, "damaged.vorn"), "wb") as f:
        f.write((CRLF.join(lines) + CRLF).encode("latin-1"))


if __name__ == "__main__":
    main(sys.argv[1])
