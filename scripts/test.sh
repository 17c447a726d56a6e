#!/usr/bin/env bash
# Installs what is missing, builds Tessivo and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

echo "== Debug build, warnings as errors"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
