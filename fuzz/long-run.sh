#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS with a corpus kept between runs, and
# reports inputs, inputs per second, coverage and findings per target. The
# targets run side by side when the machine has a core for each.
#
#   fuzz/long-run.sh [--inputs N] [--jobs J] [--note TEXT] SECONDS
#                    [dispatch|conversion ...]
#
# Each target's result is printed and appended as a row to fuzz/results.md,
# with the date, the commit fuzzed and TEXT as its note.
#
# --inputs N stops a target once it has run N inputs (SECONDS stays the
# limit), and the run fails if a target stopped short of N. --jobs J runs
# each target in J processes sharing its corpus, each with its share of the
# inputs, the targets one after another, so that a long run of a slow target
# can have every core.
#
# Each target's corpus lives in fuzz/work/<target>/corpus (git-ignored); the
# first run starts it from fuzz/corpus/<target>, and every run reads the
# seeds too, so seeds added later are picked up. Findings go to
# fuzz/work/<target>/findings, the whole log to fuzz/work/<target>/last-1.log
# (and last-2.log ... with --jobs).
# libFuzzer stops a target at its first finding; the report names it.
#
# FUZZ_BUILD_DIR (build-fuzz) is the build to use; FUZZ_NO_BUILD=1 skips the
# build. FUZZ_CHECK_EVERY=N sets how often the targets run the checks that
# cost more than an input (see fuzz/README.md).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 [--inputs N] [--jobs J] [--note TEXT] SECONDS [dispatch|conversion ...]" >&2
  exit 2
}
inputs_wanted=
jobs=1
note=
while [ $# -gt 0 ]; do
  case $1 in
    --inputs) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; inputs_wanted=$2; shift 2 ;;
    --jobs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift 2 ;;
    # A table cell: no pipe, no line break.
    --note) [[ -n ${2:-} && ${2} != *[$'|\n']* ]] || usage; note=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  usage
fi
seconds=$1
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(dispatch conversion)
for target in "${targets[@]}"; do
  [[ $target =~ ^(dispatch|conversion)$ ]] || usage
done

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
if [ -z "${FUZZ_NO_BUILD:-}" ]; then
  fuzz/build.sh "${targets[@]}"
fi

# As in smoke.sh: leaks are checked at exit, and by the targets themselves.
# ASan records 5 frames of each allocation's and free's stack, not 30: its
# bookkeeping of every malloc was a third of the run's time, and a finding
# is saved to be run again alone with the full stacks.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0:malloc_context_size=5"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

# Runs one target; its report goes to $work/report, its status to
# $work/status.
run_target() {
  local target=$1
  local work="fuzz/work/$target"
  mkdir -p "$work/corpus" "$work/findings"
  local load_before load_after status=0 started elapsed log
  # Slow units are written beside the findings but are none: on a loaded
  # machine an input of a third of a second can pass libFuzzer's ten.
  # Hangs are the -timeout's to catch.
  local marker="$work/.started"
  touch "$marker"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  started=$SECONDS
  local runs=()
  [ -z "$inputs_wanted" ] || runs=(-runs=$(((inputs_wanted + jobs - 1) / jobs)))
  # Several processes share the corpus directory: each picks up what the
  # others add (libFuzzer's -reload). Each keeps its own log.
  local i logs=()
  for ((i = 1; i <= jobs; i++)); do
    logs+=("$work/last-$i.log")
  done
  rm -f "$work"/last-*.log
  # The entropic schedule's per-feature bookkeeping took more than half of
  # the time here (tens of thousands of features, a list of the rare ones
  # searched for each feature an input hits); the plain schedule instead.
  local pids=()
  for log in "${logs[@]}"; do
    "$build_dir/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 \
      -timeout=60 -rss_limit_mb=4096 -detect_leaks=0 -print_final_stats=1 \
      -entropic=0 "${runs[@]}" \
      -artifact_prefix="$work/findings/" \
      "$work/corpus" "fuzz/corpus/$target" >"$log" 2>&1 &
    pids+=($!)
  done
  for i in "${pids[@]}"; do
    wait "$i" || status=$?
  done
  elapsed=$((SECONDS - started))
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  local inputs=0 n last cov=0 ft=0 counters corpus found slow
  for log in "${logs[@]}"; do
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    inputs=$((inputs + ${n:-0}))
    # Coverage: the widest any process reached.
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    n=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    [ "${n:-0}" -le "$cov" ] || cov=$n
    n=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    [ "${n:-0}" -le "$ft" ] || ft=$n
  done
  counters=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' \
    "${logs[0]}" | head -1)
  corpus=$(ls "$work/corpus" | wc -l)
  found=$(find "$work/findings" -type f -newer "$marker" ! -name 'slow-unit-*' |
    wc -l)
  slow=$(find "$work/findings" -type f -newer "$marker" -name 'slow-unit-*' |
    wc -l)
  local short=
  if [ -n "$inputs_wanted" ] && [ "${inputs:-0}" -lt "$inputs_wanted" ]; then
    short=1
  fi
  {
    echo "fuzz_$target: $inputs inputs in $elapsed s" \
      "($((inputs / (elapsed > 0 ? elapsed : 1)))/s, $jobs process(es))," \
      "coverage $cov of ${counters:-?} edges, $ft features," \
      "corpus $corpus inputs, findings $found, slow units $slow," \
      "load $load_before -> $load_after"
    [ -z "$short" ] || echo "  stopped short of $inputs_wanted inputs"
    if [ "$status" != 0 ] || [ "$found" != 0 ]; then
      echo "  exit status $status; findings in $work/findings; from the logs:"
      grep -hE 'fuzz check failed|ERROR|SUMMARY|saved as|Test unit written' \
        "${logs[@]}" | tail -8 | sed 's/^/  /'
    fi
  } >"$work/report"
  # The row of fuzz/results.md, appended once all targets are done.
  echo "| $(date +%F) | $code | fuzz_$target | $inputs | $elapsed |" \
    "$((inputs / (elapsed > 0 ? elapsed : 1))) | $jobs | $cov of ${counters:-?} |" \
    "$ft | $corpus | $found | $slow | $load_before -> $load_after |" \
    "${note}${short:+ stopped short of $inputs_wanted} |" >"$work/row"
  if [ "$status" = 0 ] && [ "$found" = 0 ] && [ -z "$short" ]; then
    echo ok >"$work/status"
  else
    echo failed >"$work/status"
  fi
}

# The commit fuzzed, marked when the tree differs from it.
code=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] || code+=+

# A target in one process takes one core: side by side when there are cores
# enough, else (and with --jobs) one after the other.
if [ "$jobs" = 1 ] && [ "$(nproc)" -ge ${#targets[@]} ]; then
  for target in "${targets[@]}"; do
    run_target "$target" &
  done
  wait
else
  for target in "${targets[@]}"; do
    run_target "$target"
  done
fi

failed=0
for target in "${targets[@]}"; do
  cat "fuzz/work/$target/report"
  cat "fuzz/work/$target/row" >>fuzz/results.md
  [ "$(cat "fuzz/work/$target/status")" = ok ] || failed=$((failed + 1))
done
[ "$failed" = 0 ]
