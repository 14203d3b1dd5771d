#!/usr/bin/env bash
# Installs what is missing, builds, and runs the child-process executable as
# a renderer on a scenario (default: the road of a binding). Messages sent to
# the browser process go to stdout, one JSON line each; the log to stderr.
set -euo pipefail
cd "$(dirname "$0")/.."
scenario=${1:-examples/road_of_a_binding.json}

scripts/install-deps.sh >/dev/null
cmake -S . -B build-example -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLMOSS_BUILD_TESTS=OFF \
  -DQUILLMOSS_BUILD_BENCH=OFF >/dev/null
cmake --build build-example -j"$(nproc)" --target quillmoss_subprocess >/dev/null
exec build-example/quillmoss_subprocess --type=renderer --scenario="$scenario"
