#!/usr/bin/env bash
# Builds dsnconf and runs every test. This is the README's test command and
# what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh native

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j2

# The Windows program, built with MinGW-w64 and run under Wine.
bash scripts/test-windows.sh
