#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and gives each a short
# run from its seed corpus. Fails on any crash, sanitizer report, leak of
# stand-in objects, broken conversion property or hang.
#
#   fuzz/smoke.sh                      2000 inputs per target
#   FUZZ_RUNS=N fuzz/smoke.sh          N inputs per target
#   FUZZ_SECONDS=S fuzz/smoke.sh       S seconds per target instead
#
# New inputs go to a temporary directory; the seeds in fuzz/corpus stay as
# they are. A failing input is kept in build-fuzz/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 0 ] || { echo "usage: $0 (FUZZ_RUNS or FUZZ_SECONDS in the environment)" >&2; exit 2; }

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(dispatch conversion)
fuzz/build.sh "${targets[@]}"

# Leaks are checked at exit, not after every input (-detect_leaks=0 below):
# V8 allocates as it grows its heap, and a check after every input that
# allocated more than it freed would slow the run fifty-fold. Each input
# checks the stand-in's live objects itself. V8 keeps its heap's side tables
# where LeakSanitizer cannot see them; the suppressions name those V8
# functions only (see tests/lsan.supp).
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

budget=(-runs="${FUZZ_RUNS:-2000}")
if [ -n "${FUZZ_SECONDS:-}" ]; then
  budget=(-max_total_time="$FUZZ_SECONDS")
fi

artifacts="$build_dir/fuzz/artifacts"
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  log="$work/$target.log"
  if "$build_dir/fuzz/fuzz_$target" "${budget[@]}" -max_len=4096 \
      -timeout=60 -rss_limit_mb=4096 -detect_leaks=0 \
      -artifact_prefix="$artifacts/${target}-" \
      "$work/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)"
    passed=$((passed + 1))
  else
    echo "fuzz_$target FAILED; the end of its log:"
    tail -60 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" = 0 ]
