#!/usr/bin/env bash
# Installs the built SDK into a fresh prefix, builds this consumer against it with
# find_package, and runs it with a fresh app home. Arguments: the SDK's build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_COMPILER="$(grep -m1 '^CMAKE_CXX_COMPILER:' "$build/CMakeCache.txt" | cut -d= -f2)" >/dev/null
cmake --build "$work/build" >/dev/null
mkdir -p "$work/home"
QOR_APP_HOME="$work/home" "$work/build/qor_consumer"
