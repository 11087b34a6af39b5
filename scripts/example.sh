#!/usr/bin/env bash
# Installs what is missing, then builds and runs the example app as an app outside the SDK is
# built: the SDK alone (no tests, examples or benchmarks), installed into <build>/prefix; then
# examples/ as a project of its own against that install (find_package), with the simulated ad
# network built from testing/. The app shows one ad of every format against its own simulated ad
# network on loopback TLS (or the servers the deployment variables name), tracks analytics and
# prints what each auction and the collection endpoint came to; it exits 0 when the SDK behaved as
# the auction rules say.
# QOR_BUILD_DIR names the build folder (default build-example), QOR_JOBS the parallel jobs
# (default: all cores); extra arguments go to the SDK's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
mkdir -p "${QOR_BUILD_DIR:-build-example}"
build=$(cd "${QOR_BUILD_DIR:-build-example}" && pwd)
jobs="${QOR_JOBS:-$(nproc)}"
cmake -S . -B "$build/sdk" -G Ninja -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_EXAMPLES=OFF -DQOR_BUILD_BENCH=OFF "$@"
cmake --build "$build/sdk" -j "$jobs"
# A fresh prefix each time, so no header of an earlier install can stand in for a missing one.
rm -rf "$build/prefix"
cmake --install "$build/sdk" --prefix "$build/prefix" >/dev/null
# The app is built with the SDK's compiler and build type.
sdk_setting() { grep -m1 "^$1:" "$build/sdk/CMakeCache.txt" | cut -d= -f2; }
cmake -S examples -B "$build/app" -G Ninja -DCMAKE_PREFIX_PATH="$build/prefix" \
  -DCMAKE_CXX_COMPILER="$(sdk_setting CMAKE_CXX_COMPILER)" -DCMAKE_BUILD_TYPE="$(sdk_setting CMAKE_BUILD_TYPE)"
cmake --build "$build/app" -j "$jobs"
exec "$build/app/qor_example"
