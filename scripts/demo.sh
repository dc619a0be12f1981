#!/usr/bin/env bash
# Installs what is missing, builds, and runs the serial self-test against the
# simulated box. Arguments go to the simulator (e.g. --fault silent@Get_ID).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tester-sim selftest_w2k
exec build/default/bin/tester-sim "$@" -- build/default/bin/selftest_w2k
