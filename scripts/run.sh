#!/usr/bin/env bash
# Installs what is missing, builds everything including the game data, and starts the game.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/bin/rutmoor "$@"
