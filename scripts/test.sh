#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test suite.
# Extra arguments go to the configure step (e.g. -DQOR_SANITIZE=thread); QOR_BUILD_DIR names the
# build folder (default build), QOR_JOBS the parallel jobs (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${QOR_BUILD_DIR:-build}"
jobs="${QOR_JOBS:-$(nproc)}"
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
