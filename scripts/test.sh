#!/usr/bin/env bash
# Installs what the build and the tests need, builds everything and runs
# every test through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --tests
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEX_TESTS=ON -DORVEX_BENCH=ON
cmake --build build
cd build
ctest --output-on-failure --timeout 600
