#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
scripts/build
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
