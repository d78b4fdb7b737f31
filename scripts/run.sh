#!/usr/bin/env bash
# Sets up, builds and starts the tool on its default photograph.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/bin/weathering "$@"
