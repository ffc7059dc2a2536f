#!/usr/bin/env bash
# Runs fuzz targets built by fuzz/build.sh, one after the other.
#   fuzz/run.sh TARGET|all SECONDS [--update-corpus]
# TARGET is a name such as fuzz_listparser (or listparser). Each run starts
# from the committed corpus fuzz/corpus/TARGET plus what earlier runs found
# (kept in the build folder) and reports executions, corpus size and the
# crashes, leaks, time-outs and memory blow-ups it saved (their inputs go to
# BUILD/fuzz-artifacts/TARGET/). --update-corpus then replaces the committed
# minimized corpus (min-*) by a merge of everything found, keeping seed-*.
# Exit status 1 when any run saved a crash input.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_FUZZ_BUILD_DIR:-$top/build-fuzz}"

usage() { echo "usage: $0 TARGET|all SECONDS [--update-corpus]" >&2; exit 2; }
[ $# -ge 2 ] || usage
which="$1"
seconds="$2"
update=0
[ "${3:-}" = "--update-corpus" ] && update=1
[[ "$seconds" =~ ^[0-9]+$ ]] || usage

if [ "$which" = all ]; then
  targets=()
  for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] && [ -f "$f" ] && targets+=("$(basename "$f")")
  done
else
  targets=("fuzz_${which#fuzz_}")
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz target in $build/fuzz: run fuzz/build.sh first" >&2; exit 2; }

status=0
for target in "${targets[@]}"; do
  program="$build/fuzz/$target"
  [ -x "$program" ] || { echo "$target: not built ($program)" >&2; status=2; continue; }
  seeds="$top/fuzz/corpus/$target"
  work="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$seeds" "$work" "$artifacts"
  log="$build/fuzz-$target.log"
  stamp="$(mktemp)"

  # New inputs go to the first folder; the committed corpus is only read.
  # A unit running past 10 s counts as a hang; 2 GB of memory as a blow-up.
  set +e
  "$program" "$work" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1
  rc=$?
  set -e

  saved=$(find "$artifacts" -type f -newer "$stamp" | wc -l)
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  corpus=$(find "$work" "$seeds" -type f | wc -l)
  echo "$target: ${executions:-?} executions in ${seconds} s (${speed:-?}/s), corpus $corpus inputs, ${coverage:-cov: ?}, $saved crash/leak/hang inputs, exit $rc"
  if [ "$saved" -gt 0 ] || [ "$rc" -ne 0 ]; then
    status=1
    grep -E 'ERROR: |SUMMARY: |^control reader:|^listing|^address:' "$log" | head -5 | sed 's/^/  /'
    find "$artifacts" -type f -newer "$stamp" | head -5 | sed 's/^/  input: /'
    echo "  log: $log"
  fi
  rm -f "$stamp"

  if [ "$update" -eq 1 ]; then
    merged="$(mktemp -d)"
    "$program" -merge=1 -max_len=4096 -timeout=10 "$merged" "$seeds" "$work" >>"$log" 2>&1
    find "$seeds" -name 'min-*' -delete
    for f in "$merged"/*; do
      [ -f "$f" ] || continue
      name="min-$(sha1sum "$f" | cut -c1-16)"
      # Seeds stay as they are; only what they do not already cover is added.
      cmp -s "$f" "$seeds/$name" 2>/dev/null || cp "$f" "$seeds/$name"
    done
    for s in "$seeds"/seed-*; do
      sum="min-$(sha1sum "$s" | cut -c1-16)"
      rm -f "$seeds/$sum"
    done
    rm -rf "$merged"
    echo "  committed corpus: $(find "$seeds" -name 'seed-*' | wc -l) seeds, $(find "$seeds" -name 'min-*' | wc -l) minimized inputs"
  fi
done
exit $status
