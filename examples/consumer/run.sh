#!/usr/bin/env bash
# Installs the built SDK into a fresh prefix, builds this consumer against it with find_package,
# and runs it. Arguments: the SDK's build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec bash "$here/../../scripts/installed-project.sh" "$1" "$here" qor_consumer
