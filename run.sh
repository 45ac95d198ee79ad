#!/usr/bin/env bash
# Installs what is missing, builds, and starts Veltrane with any files given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
scripts/build
exec build/bin/veltrane "$@"
