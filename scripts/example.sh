#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the example app, which starts the
# analytics engine against loopback collection and IP-echo servers (or the servers named by
# QOR_COLLECTION_URL / QOR_IP_ECHO_URL), records events, flushes and prints what was received.
# Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${QOR_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)" --target qor_example
exec "$build/examples/qor_example"
