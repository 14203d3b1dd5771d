#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh              the normal build, in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan (LeakSanitizer on),
#                                in build-asan/
#   scripts/test.sh --i386       the same tests built for 32-bit x86 Linux
#                                (the target's data model), in build-i386/;
#                                no benchmarks or memcheck runs, which the
#                                normal build has
# QUILLMOSS_WARNINGS_AS_ERRORS=ON (or OFF) in the environment sets the CMake
# option of that name (.ci/run turns it on); unset, the build directory keeps
# what it has.
set -euo pipefail
cd "$(dirname "$0")/.."

# One flag at most, and only these: a misspelt one would otherwise run the
# normal build and report its result as the asked one's.
if [ $# -gt 1 ] || { [ $# = 1 ] && [[ ! $1 =~ ^--(i386|sanitize)$ ]]; }; then
  echo "usage: $0 [--sanitize | --i386]" >&2
  exit 2
fi

build_dir=build
cmake_args=()
deps_args=()
if [ "${1:-}" = "--i386" ]; then
  build_dir=build-i386
  deps_args+=(--i386)
  cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i386-linux.cmake"
               -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DQUILLMOSS_BUILD_BENCH=OFF -DQUILLMOSS_MEMCHECK=OFF)
elif [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  cmake_args+=(-DQUILLMOSS_SANITIZE=ON
               -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  if [ -f tests/lsan.supp ]; then
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  fi
else
  cmake_args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

if [ -n "${QUILLMOSS_WARNINGS_AS_ERRORS:-}" ]; then
  cmake_args+=(-DQUILLMOSS_WARNINGS_AS_ERRORS="$QUILLMOSS_WARNINGS_AS_ERRORS")
fi

scripts/install-deps.sh "${deps_args[@]}"
cmake -S . -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
