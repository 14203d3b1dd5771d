#!/usr/bin/env bash
# Installs what the executable's build needs and is missing (not the tests'
# tools: scripts/install-deps.sh --example), builds, and runs it as
# a renderer on a scenario (default: the road of a binding). Messages sent to
# the browser process go to stdout, one JSON line each; the log to stderr,
# after a line for each phase before it and the build's progress.
#   scripts/run-example.sh [SCENARIO]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 1 ] || [[ ${1:-} == -?* ]]; then
  echo "usage: $0 [SCENARIO]" >&2
  exit 2
fi
scenario=${1:-examples/road_of_a_binding.json}

# Stdout is the scenario's output alone: whatever the phases print goes to
# stderr, so a fresh machine's minutes of installing and building show.
say() { echo "run-example: $*" >&2; }
say "installing what is missing (scripts/install-deps.sh --example)"
scripts/install-deps.sh --example >&2
say "configuring build-example/"
cmake -S . -B build-example -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLMOSS_BUILD_TESTS=OFF \
  -DQUILLMOSS_BUILD_BENCH=OFF >/dev/null
say "building quillmoss_subprocess"
cmake --build build-example -j"$(nproc)" --target quillmoss_subprocess >&2
say "running it as a renderer on $scenario"
exec build-example/quillmoss_subprocess --type=renderer --scenario="$scenario"
