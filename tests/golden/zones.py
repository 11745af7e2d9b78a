#!/usr/bin/env python3
"""One site's folder analysed on computers in five zones: the same bytes in
text, CSV and JSON, and figures equal to ones computed here from the moments
the readings were made (the stamps are Berlin's wall clock; the details say
so). Exclusions name each run of the repeated autumn hour, and one without an
offset is site time; a spring exclusion lasts its elapsed hour.

    zones.py VORN_STATS
"""
import datetime
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_inputs  # noqa: E402

ZONES = ["Europe/Berlin", "UTC", "Europe/London", "America/New_York", "Asia/Tokyo"]
UTC = datetime.timezone.utc


def moment(text):
    return datetime.datetime.fromisoformat(text).astimezone(UTC).replace(tzinfo=None)


def leq(levels):
    return 10 * math.log10(sum(10 ** (level / 10) for level in levels) / len(levels))


def main():
    stats = os.path.abspath(sys.argv[1])
    folder = tempfile.mkdtemp(prefix="vorn-zones-")
    failures = []

    def check(what, ok):
        if not ok:
            failures.append(what)

    try:
        autumn = os.path.join(folder, "autumn")
        rows = make_inputs.station_days(autumn, 2026, 10, 24, 26, 10, 17)
        names = sorted(n for n in os.listdir(autumn) if n.endswith(".vorn"))
        for n in names:
            with open(os.path.join(autumn, n + ".json"), "w") as f:
                json.dump({"site": "Fence", "time_zone": "Europe/Berlin"}, f)
        spans = [("2026-10-25T02:10:00+02:00", "2026-10-25T02:20:00+02:00", "wind"),
                 ("2026-10-25T02:40:00+01:00", "2026-10-25T02:50:00+01:00", "rain"),
                 ("2026-10-24T10:00:00", "2026-10-24T10:30:00", "extraneous sound")]
        with open(os.path.join(autumn, "fence exclusions.csv"), "w") as f:
            f.write("start,end,reason,note,made\n")
            for start, end, reason in spans:
                f.write("%s,%s,%s,,2026-10-27T09:00:00+01:00\n" % (start, end, reason))
        # Site time without an offset: Berlin's, summer time on 24 October.
        moments = [(moment(s if "+" in s[19:] else s + "+02:00"),
                    moment(e if "+" in e[19:] else e + "+02:00")) for s, e, _ in spans]
        kept = [(t, float(v)) for t, _, v in rows if not any(a <= t < b for a, b in moments)]

        arguments = {
            "text": ["--join", "--lden", "--intervals", "15min"],
            "csv": ["--join", "--csv", "--intervals", "15min"],
            "json": ["--join", "--json", "--lden", "--intervals", "15min"],
        }
        outputs = {}
        for zone in ZONES:
            for kind, args in arguments.items():
                run = subprocess.run([stats] + args + names, cwd=autumn, capture_output=True,
                                     env=dict(os.environ, TZ=zone, LC_ALL="C.UTF-8"))
                outputs[(zone, kind)] = run.stdout + b"\n--- " + run.stderr
                check("%s under %s exits %d: %s" % (kind, zone, run.returncode, run.stderr[:200]),
                      run.returncode == 0)
        for zone in ZONES[1:]:
            for kind in arguments:
                check("%s under %s differs from Berlin's" % (kind, zone),
                      outputs[(zone, kind)] == outputs[(ZONES[0], kind)])

        report = json.loads(outputs[(ZONES[0], "json")].split(b"\n--- ")[0])[0]
        check("readings %d, computed %d" % (report["readings"], len(kept)),
              report["readings"] == len(kept))
        check("Leq %.2f, computed %.2f" % (report["leq"], leq([v for _, v in kept])),
              "%.2f" % report["leq"] == "%.2f" % leq([v for _, v in kept]))
        check("excluded %s s" % report["exclusions"]["excluded_s"],
              report["exclusions"]["excluded_s"] == 10 * 60 * 2 + 30 * 60)
        check("time zone from the details",
              (report["time_zone"], report["time_zone_source"]) == ("Europe/Berlin", "details"))
        # Every interval of the repeated hour is a row of its own, with the
        # readings of its own run.
        for row in report["intervals"]:
            if row.get("gap"):
                continue
            a, b = moment(row["start"]), moment(row["end"])
            mine = [v for t, v in kept if a <= t < b]
            if not mine:
                continue
            if len(mine) != row["readings"] or "%.2f" % leq(mine) != "%.2f" % row["leq"]:
                check("interval %s: %d readings, Leq %.2f; computed %d, %.2f"
                      % (row["start"], row["readings"], row["leq"], len(mine), leq(mine)), False)
        starts = [r["start"] for r in report["intervals"]]
        print("checked %d intervals, %d readings" % (len(starts), report["readings"]))
        check("both runs of 02:15 are rows",
              "2026-10-25T02:15:00+02:00" in starts and "2026-10-25T02:15:00+01:00" in starts)
        # The first and last days are rows, partial.
        days = report["day_evening_night"]
        check("first day 23 October, partial",
              days[0]["day_start"] == "2026-10-23T07:00:00+02:00" and days[0]["partial"])
        check("last day 26 October, partial",
              days[-1]["day_start"] == "2026-10-26T07:00:00+01:00" and days[-1]["partial"])

        # Spring: a span across the change lasts its elapsed hour; --zone
        # names the zone of files whose details name none.
        spring = os.path.join(folder, "spring")
        make_inputs.station_days(spring, 2026, 3, 28, 29, 10, 19)
        with open(os.path.join(spring, "fence exclusions.csv"), "w") as f:
            f.write("start,end,reason,note,made\n"
                    "2026-03-29T01:30:00+01:00,2026-03-29T03:30:00+02:00,maintenance,,\n")
        seen = set()
        for zone in ZONES:
            run = subprocess.run([stats, "--join", "--json", "--zone", "Europe/Berlin",
                                  "fence 2026-03-28.vorn", "fence 2026-03-29.vorn"], cwd=spring,
                                 capture_output=True, env=dict(os.environ, TZ=zone))
            seen.add(run.stdout)
            spring_report = json.loads(run.stdout)[0]
            check("spring span under %s: %s s" % (zone,
                  spring_report["exclusions"]["spans"][0]["duration_s"]),
                  spring_report["exclusions"]["spans"][0]["duration_s"] == 3600
                  and spring_report["exclusions"]["excluded_s"] == 3600)
        check("spring output differs between zones", len(seen) == 1)

        # A join of files that name different zones is refused.
        with open(os.path.join(spring, "fence 2026-03-29.vorn.json"), "w") as f:
            json.dump({"time_zone": "Europe/London"}, f)
        with open(os.path.join(spring, "fence 2026-03-28.vorn.json"), "w") as f:
            json.dump({"time_zone": "Europe/Berlin"}, f)
        run = subprocess.run([stats, "--join", "fence 2026-03-28.vorn", "fence 2026-03-29.vorn"],
                             cwd=spring, capture_output=True)
        check("different zones refused", run.returncode == 1 and b"Europe/London" in run.stderr)

        # A zone that names nothing: a usage error on the command line, a
        # details problem in the file (which then takes --zone).
        run = subprocess.run([stats, "--zone", "Nowhere", "fence 2026-03-28.vorn"], cwd=spring,
                             capture_output=True)
        check("--zone Nowhere is a usage error", run.returncode == 2)
        with open(os.path.join(spring, "fence 2026-03-28.vorn.json"), "w") as f:
            json.dump({"time_zone": "Mars/Olympus"}, f)
        run = subprocess.run([stats, "--json", "--zone", "Europe/Berlin", "fence 2026-03-28.vorn"],
                             cwd=spring, capture_output=True)
        bad = json.loads(run.stdout)[0]
        check("a details zone that names nothing is a details problem",
              "time_zone" in (bad["details_problem"] or "")
              and bad["time_zone_source"] == "--zone")
    finally:
        shutil.rmtree(folder)
    for f in failures:
        print("FAILED:", f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
