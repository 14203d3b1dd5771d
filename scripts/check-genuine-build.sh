#!/usr/bin/env bash
# The executable that would ship, run: the system built against a CEF 81.3
# root with CEF's wrapper (scripts/check-cef-build.sh), on the stand-in's
# libcef, must do what the stand-in build does.
#   1. the genuine build: every scenario of the examples, the docs and the
#      simulator tests gives the stand-in build's stdout and log lines; the
#      examples run memcheck-clean; the Python package's tests pass on it;
#   2. the same build with CEF's DCHECKs on: the same scenarios, the same
#      results (a wrapper check the system trips would end the run);
#   3. both built for i386: the same scenarios as the 32-bit stand-in build;
#   4. with WINDOWS_ROOT (make-root.sh DIR --windows32), the program that
#      ships: the genuine 32-bit Windows executable under wine, on the
#      stand-in's libcef.dll, gives the (Linux) stand-in build's results on
#      every scenario, also with CEF's DCHECKs on; what only Windows does
#      passes tests/windows/wine_check.py; the Python package's tests pass
#      on it.
# Needs build/ and build-i386/ (scripts/test.sh, scripts/test.sh --i386);
# leaves build-cef/, build-cef-dcheck/ and build-cef-i386/, and with
# WINDOWS_ROOT build-cef-win/ and build-cef-win-dcheck/.
#   scripts/check-genuine-build.sh CEF_ROOT [WINDOWS_ROOT]
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [[ $1 == -* ]] || [[ ${2:-} == -* ]]; then
  echo "usage: $0 CEF_ROOT [WINDOWS_ROOT]" >&2
  exit 2
fi
root=$1
windows_root=${2:-}
cd "$(dirname "$0")/.."
for needed in build/quillmoss_subprocess build/tests/simulator/simulator_tests \
              build-i386/quillmoss_subprocess; do
  [ -x "$needed" ] || { echo "$0: no $needed: run scripts/test.sh (and --i386) first" >&2; exit 2; }
done

dump=$(mktemp -d "${TMPDIR:-/tmp}/quillmoss-scenarios.XXXXXX")
trap 'rm -rf "$dump"' EXIT
QUILLMOSS_SCENARIO_DUMP_DIR=$dump build/tests/simulator/simulator_tests >/dev/null

scripts/check-cef-build.sh "$root" build-cef
scripts/compare-builds.py build/quillmoss_subprocess build-cef/quillmoss_subprocess \
  --scenarios "$dump" --memcheck
QUILLMOSS_SUBPROCESS=$PWD/build-cef/quillmoss_subprocess PYTHONPATH=python \
  pytest-3 -q -p quillmoss_sim.pytest_plugin python

scripts/check-cef-build.sh "$root" build-cef-dcheck --dcheck
scripts/compare-builds.py build/quillmoss_subprocess build-cef-dcheck/quillmoss_subprocess \
  --scenarios "$dump"

scripts/check-cef-build.sh "$root" build-cef-i386 --i386
scripts/compare-builds.py build-i386/quillmoss_subprocess build-cef-i386/quillmoss_subprocess \
  --scenarios "$dump"

if [ -n "$windows_root" ]; then
  scripts/check-cef-build.sh "$windows_root" build-cef-win --windows32
  scripts/compare-builds.py build/quillmoss_subprocess build-cef-win/quillmoss_subprocess \
    --scenarios "$dump"
  python3 tests/windows/wine_check.py build-cef-win/genuine/quillmoss_subprocess.exe examples
  QUILLMOSS_SUBPROCESS=$PWD/build-cef-win/quillmoss_subprocess PYTHONPATH=python \
    pytest-3 -q -p quillmoss_sim.pytest_plugin python

  scripts/check-cef-build.sh "$windows_root" build-cef-win-dcheck --windows32 --dcheck
  scripts/compare-builds.py build/quillmoss_subprocess build-cef-win-dcheck/quillmoss_subprocess \
    --scenarios "$dump"
fi
