#!/usr/bin/env bash
# Builds the library as an app ships it (Release, without tests, examples or benchmarks, so
# without testing/), installs it into a fresh prefix, builds and runs examples/consumer and the
# example app (examples/, with the simulated ad network it builds from testing/) against that
# install, and checks that the library exports no test probe and exactly what the public headers
# declare.
# QOR_BUILD_DIR names the build folder (default build-release), QOR_JOBS the parallel jobs
# (default: all cores); extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QOR_BUILD_DIR:-build-release}"
jobs="${QOR_JOBS:-$(nproc)}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_EXAMPLES=OFF \
  -DQOR_BUILD_BENCH=OFF "$@"
cmake --build "$build" -j "$jobs"
if cmake --build "$build" --target help | grep -q '^qor_testing:'; then
  echo "the shipped build also builds testing/" >&2
  exit 1
fi
bash scripts/installed-project.sh "$build" examples/consumer qor_consumer
# The example app, an app outside the tree too: built against the install, it runs to its verdict.
bash scripts/installed-project.sh "$build" examples qor_example
bash scripts/check-shipped-symbols.sh "$build/lib/libQORUniversalSDK.so"
bash scripts/check-public-symbols.sh "$build"
