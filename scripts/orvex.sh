#!/usr/bin/env bash
# Installs what Orvex needs, builds it, installs the program folder to
# ORVEX_HOME (default ~/Orvex) and starts it there. The workspace (projects,
# settings) lives in that folder, so rebuilding or deleting the build never
# touches it.
set -euo pipefail
cd "$(dirname "$0")/.."

home="${ORVEX_HOME:-$HOME/Orvex}"
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVEX_TESTS=OFF -DORVEX_BENCH=OFF
cmake --build build-release
cmake --install build-release --prefix "$home"

exec "$home/orvex"
