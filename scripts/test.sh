#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test suite.
# Extra arguments go to the configure step (e.g. -DQOR_SANITIZE=thread).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${QOR_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
