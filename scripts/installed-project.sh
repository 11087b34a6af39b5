#!/usr/bin/env bash
# Builds a CMake project outside the source tree against the installed SDK, as an app would:
# installs the SDK's build folder into a fresh prefix, configures the project there with
# find_package and the compiler the SDK was built with, builds it, and runs the named program
# of it (if any) with a fresh app data folder. Everything happens in a temporary folder that
# goes away afterwards, so no header left from an earlier installation can hide a missing one.
# Arguments: the SDK's build folder, the project's folder, and optionally the program to run.
set -euo pipefail
build=$(cd "$1" && pwd)
project=$(cd "$2" && pwd)
program=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$project" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_COMPILER="$(grep -m1 '^CMAKE_CXX_COMPILER:' "$build/CMakeCache.txt" | cut -d= -f2)" >/dev/null
# The compiler's messages come on standard output: shown when the build fails.
if ! cmake --build "$work/build" --parallel "${QOR_JOBS:-4}" >"$work/build.log"; then
  cat "$work/build.log"
  exit 1
fi
if [ -n "$program" ]; then
  mkdir -p "$work/home"
  QOR_APP_HOME="$work/home" "$work/build/$program"
fi
