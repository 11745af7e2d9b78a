#!/usr/bin/env bash
# Every option a program's --help names is completed, and names with spaces
# (a station's day files) complete whole.
#   completion_test.sh COMPLETIONS_DIR vorn=PATH vorn-stats=PATH vorn-monitor=PATH ...
set -uo pipefail
dir=$1; shift
failed=0
for pair in "$@"; do
  program=${pair%%=*}
  path=${pair#*=}
  file=$dir/$program
  [ "$program" = vorn-stats-report ] && file=$dir/vorn-stats
  help=$(QT_QPA_PLATFORM=offscreen "$path" --help 2>&1)
  for option in $(grep -oE -- '--[a-z][a-z-]+' <<<"$help" | sort -u); do
    if ! grep -qE -- "(^|[ '\\\\n\$])${option}([ '|)\\\\]|\$)" "$file"; then
      echo "FAIL $program: $option is not completed"
      failed=1
    fi
  done
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/fence 2026-03-14.vorn" "$work/fence 2026-03-15.vorn" "$work/notes.txt"
cd "$work"
source "$dir/vorn-stats"
COMP_WORDS=(vorn-stats "fence 2026-03-1")
COMP_CWORD=1
_vorn_stats
if [ "${#COMPREPLY[@]}" -ne 2 ] || [ "${COMPREPLY[0]}" != "fence 2026-03-14.vorn" ] && [ "${COMPREPLY[1]}" != "fence 2026-03-14.vorn" ]; then
  echo "FAIL vorn-stats: 'fence 2026-03-1' completes to: ${COMPREPLY[*]@Q}"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$failed"
