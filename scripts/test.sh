#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
cmake --workflow --preset default
