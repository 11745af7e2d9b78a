#!/usr/bin/env bash
# Builds VORN and runs every benchmark of the project, then prints one table
# of figures with the target beside each.
#
# A benchmark is any executable named bench_* in the build tree. Google
# Benchmark programs report through JSON (a benchmark states its target in its
# label); other programs print lines "figure|value|target" on standard output.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VORN_BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
"$here/scripts/build.sh" >/dev/null

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export VORN_PORTS_DIR
VORN_PORTS_DIR=$(mktemp -d)
results=$(mktemp)
trap 'rm -rf "$VORN_PORTS_DIR" "$results"' EXIT

while IFS= read -r bench; do
  name=$(basename "$bench")
  echo "running $name ..." >&2
  if "$bench" --help 2>/dev/null | grep -q benchmark_format; then
    "$bench" --benchmark_format=json 2>/dev/null | python3 -c '
import json, sys
data = json.load(sys.stdin)
for b in data["benchmarks"]:
    if b.get("run_type") == "aggregate":
        continue
    unit = b.get("time_unit", "ns")
    value = "%.3g %s" % (b["real_time"], unit)
    extra = [f"{k}={v:.4g}" for k, v in b.items()
             if k not in ("name","family_index","per_family_instance_index","run_name","run_type",
                          "repetitions","repetition_index","threads","iterations","real_time",
                          "cpu_time","time_unit","label") and isinstance(v, (int, float))]
    if extra:
        value += " (" + ", ".join(extra) + ")"
    print("%s|%s|%s" % (b["name"], value, b.get("label", "")))
' >> "$results" || echo "$name|failed|" >> "$results"
  else
    "$bench" 2>/dev/null | grep '|' >> "$results" || echo "$name|failed|" >> "$results"
  fi
done < <(find "$build" -type f -perm -u+x -name 'bench_*' | sort)

python3 - "$results" <<'PY'
import sys
rows = [l.rstrip("\n").split("|", 2) for l in open(sys.argv[1]) if "|" in l]
rows = [r + [""] * (3 - len(r)) for r in rows]
w = [max([len(h)] + [len(r[i]) for r in rows]) for i, h in enumerate(("Figure", "Measured", "Target"))]
line = lambda r: "  ".join(c.ljust(w[i]) for i, c in enumerate(r))
print(line(("Figure", "Measured", "Target")))
print(line(("-" * w[0], "-" * w[1], "-" * w[2])))
for r in rows:
    print(line(r))
PY
