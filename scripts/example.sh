#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the example app: it shows one ad of
# every format against its own simulated ad network on loopback TLS (or the servers the
# deployment variables name), tracks analytics and prints what each auction and the collection
# endpoint came to. Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${QOR_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)" --target qor_example
exec "$build/examples/qor_example"
