#!/usr/bin/env python3
"""The golden outputs: vorn-stats on a fixed set of files (tests/golden/
make_inputs.py) under TZ=Europe/Berlin, compared byte for byte with the files
in tests/golden/expected/. A change to an output updates its file in the same
commit (run with --update) and says why in the commit message.

    golden.py VORN_STATS [--update] [--only NAME]
"""
import os
import re
import shutil
import subprocess
import sys
import fcntl
import json
import textwrap

HERE = os.path.dirname(os.path.abspath(__file__))
INPUTS_FOLDER = "/tmp/vorn-golden-inputs"
EXPECTED = os.path.join(HERE, "expected")
LIMITS = "07-19=55,19-23=50,23-07=45"
MARCH = ["march/fence 2026-03-%02d.vorn" % d for d in range(1, 32)]
OCTOBER = ["october/fence 2026-10-%02d.vorn" % d for d in range(20, 32)]
# A week with its weather, events and verdicts per period.
ASSESSMENT = ["--from", "2026-03-01 00:00", "--to", "2026-03-08 00:00", "--weather",
              "weather/march weather.csv", "--events", "70", "--event-gap", "10s",
              "--number-above", "60,70", "--period-limits", "day=66,evening=60,night=48"]

# name: arguments (relative to the inputs' folder); "PDF" stands for the
# report's path, whose text (pdftotext) is the output.
CASES = {
    "recording.txt": ["recording.vorn"],
    "recording.csv": ["--csv", "recording.vorn"],
    "recording.json": ["--json", "--resolution", "1", "recording.vorn"],
    "recording-intervals.csv": ["--csv", "--intervals", "15min", "recording.vorn"],
    "recording.pdf.txt": ["--pdf", "PDF", "--company", "Acoustics Ltd", "--name", "A. Tester",
                          "recording.vorn"],
    "logger.txt": ["--intervals", "30min", "logger.vorn"],
    "logger.json": ["--json", "--intervals", "1h", "logger.vorn"],
    "two-files.csv": ["--csv", "recording.vorn", "logger.vorn"],
    "march.txt": ["--join", "--lden", "--intervals", "6h", "--limit", LIMITS] + MARCH,
    "march-intervals.csv": ["--join", "--csv", "--intervals", "1h", "--limit", LIMITS] + MARCH,
    "march-days.csv": ["--join", "--csv", "--lden"] + MARCH,
    "march.json": ["--join", "--json", "--lden", "--intervals", "6h", "--limit", LIMITS] + MARCH,
    "march-window.txt": ["--join", "--intervals", "1h", "--from", "2026-03-29 00:00", "--to",
                         "2026-03-29 06:00"] + MARCH,
    "march-no-exclusions.txt": ["--join", "--no-exclusions"] + MARCH,
    "march.pdf.txt": ["--join", "--pdf", "PDF", "--intervals", "1h", "--limit", LIMITS] + MARCH,
    "march-assessment.json": ["--join", "--json"] + ASSESSMENT + MARCH,
    "march-assessment.pdf.txt": ["--join", "--pdf", "PDF"] + ASSESSMENT + MARCH,
    "october.txt": ["--join", "--lden"] + OCTOBER,
    "october-intervals.csv": ["--join", "--csv", "--intervals", "15min"] + OCTOBER,
    "october.json": ["--join", "--json", "--lden", "--intervals", "1h"] + OCTOBER,
    "october.pdf.txt": ["--join", "--pdf", "PDF", "--intervals", "1h", "--limit", "45"] + OCTOBER,
    "damaged.txt": ["damaged.vorn"],
    "damaged.json": ["--json", "damaged.vorn"],
}

# The report's own date and the program's version change without any figure
# changing.
VOLATILE = [(re.compile(rb"Report date: \d{4}/\d\d/\d\d \d\d:\d\d"), b"Report date: DATE"),
            (re.compile(rb"VORN \d+\.\d+"), b"VORN VERSION")]


def output(stats, inputs, arguments):
    pdf = os.path.join(inputs, "report.pdf")
    arguments = [pdf if a == "PDF" else a for a in arguments]
    env = dict(os.environ, TZ="Europe/Berlin", LC_ALL="C.UTF-8")
    run = subprocess.run([stats] + arguments, cwd=inputs, env=env, capture_output=True)
    text = run.stdout
    if pdf in arguments:
        text = subprocess.run(["pdftotext", "-raw", pdf, "-"], capture_output=True).stdout
        os.remove(pdf)
        # Where a line of the page breaks depends on the width of what it
        # holds, the inputs' folder among it: the words are compared, each
        # page's words wrapped anew.
        pages = text.split(b"\f")
        text = b"\f\n".join(
            textwrap.fill(b" ".join(page.split()).decode("utf-8").replace(
                os.path.realpath(inputs), "INPUTS").replace(inputs, "INPUTS"),
                width=100, break_long_words=False, break_on_hyphens=False).encode("utf-8")
            for page in pages) + b"\n"
    text += b"--- standard error\n" + run.stderr + b"--- exit %d\n" % run.returncode
    # The inputs' folder is made anew for each run.
    text = text.replace(os.path.realpath(inputs).encode(), b"INPUTS").replace(inputs.encode(), b"INPUTS")
    for pattern, replacement in VOLATILE:
        text = pattern.sub(replacement, text)
    return text


def figure(value):
    return "-" if value is None else "%.1f" % value


def assessment_mismatch(json_output, pdf_output):
    """The report's assessment read back: every period's figures, each day's
    counts and the weather as the JSON of the same options gives them, in
    order. What is missing, or None."""
    report = json.loads(json_output.split(b"--- standard error")[0])[0]
    words = pdf_output.decode("utf-8").split()
    at = 0

    def find(sequence, what):
        nonlocal at
        for i in range(at, len(words) - len(sequence) + 1):
            if words[i:i + len(sequence)] == sequence:
                at = i + len(sequence)
                return None
        return "%s: %s not found after word %d" % (what, " ".join(sequence), at)

    weather = report["weather"]
    for sequence in (["Coverage", "%.1f" % (100 * weather["weather_coverage"])],
                     ["Highest", "mean", "wind", "%.1f" % weather["wind_speed_mean_max"]],
                     ["Highest", "gust", "%.1f" % weather["wind_gust_max"]],
                     ["Rain", "%.1f" % weather["rain"], "mm"]):
        at = 0
        missing = find(sequence, "weather")
        if missing:
            return missing
    at = 0
    for p in report["assessment"]["periods"]:
        sequence = [p["day_start"][:10], p["period"], figure(p["leq"]), figure(p["l90"]),
                    figure(p["lmax"]), "%.1f" % (100 * p["coverage"]), figure(p["limit"]),
                    figure(p["margin"])] + p["verdict"].split() + (["yes"] if p["deciding"] else [])
        missing = find(sequence, "period")
        if missing:
            return missing
    counts = {}
    for day in report["events"]["days"]:
        counts[day["day_start"]] = [day["by_period"][k] for k in ("day", "evening", "night")]
    for level in report["number_above"]:
        for day in level["days"]:
            counts.setdefault(day["day_start"], [0, 0, 0])
    for day in sorted(counts):
        night = []
        for level in report["number_above"]:
            found = [d for d in level["days"] if d["day_start"] == day]
            night.append(found[0]["by_period"]["night"] if found else 0)
        missing = find([day[:10]] + [str(c) for c in counts[day] + night], "events of a day")
        if missing:
            return missing
    return None


def main():
    args = sys.argv[1:]
    stats = os.path.abspath(args.pop(0))
    update = "--update" in args
    only = args[args.index("--only") + 1] if "--only" in args else None
    # One folder, the same on every machine: the report prints the
    # exclusions file's path, and where its lines break depends on it.
    inputs = INPUTS_FOLDER
    lock = open(inputs + ".lock", "w")
    fcntl.flock(lock, fcntl.LOCK_EX)
    shutil.rmtree(inputs, ignore_errors=True)
    os.makedirs(inputs)
    try:
        subprocess.run([sys.executable, os.path.join(HERE, "make_inputs.py"), inputs], check=True)
        failed = []
        for name, arguments in CASES.items():
            if only and name != only:
                continue
            got = output(stats, inputs, arguments)
            path = os.path.join(EXPECTED, name)
            if update:
                os.makedirs(EXPECTED, exist_ok=True)
                with open(path, "wb") as f:
                    f.write(got)
                continue
            want = open(path, "rb").read() if os.path.exists(path) else b""
            if got != want:
                failed.append(name)
                got_lines, want_lines = got.split(b"\n"), want.split(b"\n")
                for i in range(max(len(got_lines), len(want_lines))):
                    g = got_lines[i] if i < len(got_lines) else b"(none)"
                    w = want_lines[i] if i < len(want_lines) else b"(none)"
                    if g != w:
                        print("%s, line %d:\n  expected %r\n  got      %r" % (name, i + 1, w, g))
                        break
        if not only:
            mismatch = assessment_mismatch(
                output(stats, inputs, CASES["march-assessment.json"]),
                output(stats, inputs, CASES["march-assessment.pdf.txt"]))
            if mismatch:
                failed.append("the report's assessment against the JSON")
                print("the report's assessment against the JSON: " + mismatch)
        ran = 1 if only else len(CASES) + 1
        print("%d passed, %d failed" % (ran - len(failed), len(failed)))
        return 1 if failed else 0
    finally:
        shutil.rmtree(inputs)


if __name__ == "__main__":
    sys.exit(main())
