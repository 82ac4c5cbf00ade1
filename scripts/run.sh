#!/usr/bin/env bash
# Builds the console and starts it. With no arguments it runs on the built-in simulated bus;
# any arguments are passed on (for example: scripts/run.sh --port /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target kelvane
if [ $# -eq 0 ]; then
  set -- --simulate
fi
exec build/default/apps/kelvane/kelvane "$@"
