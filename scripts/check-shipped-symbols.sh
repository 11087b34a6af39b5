#!/usr/bin/env bash
# Fails when the shared library exports a test probe: the simulate.../recorded... calls, the
# fault-injection points or the observer hooks the tests record through. These stay inside the
# library (hidden) or in testing/, so an app cannot reach them.
# Argument: the library (default build-release/lib/libQORUniversalSDK.so).
set -euo pipefail
library="${1:-build-release/lib/libQORUniversalSDK.so}"
if [ ! -f "$library" ]; then
  echo "no library at $library" >&2
  exit 2
fi
probes='(^|[^A-Za-z])(simulate[A-Z]|recorded[A-Z]|clearRecorded|loadedHTML|openedURLs|clearOpenedURLs|faults::|faultPoint|FaultPoint|observation::|ObserverHook)'
found=$(nm -D --defined-only -C "$library" | grep -E "$probes" || true)
if [ -n "$found" ]; then
  echo "$library exports test probes:"
  echo "$found"
  exit 1
fi
echo "symbol check: $library exports no test probe ($(nm -D --defined-only "$library" | wc -l) symbols)"
