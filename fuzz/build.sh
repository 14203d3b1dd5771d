#!/usr/bin/env bash
# Builds the libFuzzer targets: clang, ASan + UBSan, coverage feedback from
# the system's code.
#
#   fuzz/build.sh dispatch conversion
#
# FUZZ_BUILD_DIR (build-fuzz) is the build directory. Optimised (-O2): an
# unoptimised build ran the targets three to five times slower, in the
# sanitizers' and libFuzzer's hooks around every uninlined library call.
# Without NDEBUG, so DCHECKs stay on as in CEF's own fuzzing builds.
set -euo pipefail
cd "$(dirname "$0")/.."
# At least one target: with none, cmake would get an empty --target.
[ $# -gt 0 ] || { echo "usage: $0 dispatch|conversion..." >&2; exit 2; }
for target in "$@"; do
  [[ $target =~ ^(dispatch|conversion)$ ]] ||
    { echo "usage: $0 dispatch|conversion..." >&2; exit 2; }
done

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
# QUILLMOSS_WARNINGS_AS_ERRORS in the environment: as in scripts/test.sh.
werror=()
if [ -n "${QUILLMOSS_WARNINGS_AS_ERRORS:-}" ]; then
  werror=(-DQUILLMOSS_WARNINGS_AS_ERRORS="$QUILLMOSS_WARNINGS_AS_ERRORS")
fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DQUILLMOSS_FUZZ=ON \
  -DQUILLMOSS_SANITIZE=ON \
  -DQUILLMOSS_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g" "${werror[@]}" >/dev/null
targets=("$@")
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" \
  >/dev/null
