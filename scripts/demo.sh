#!/usr/bin/env bash
# Installs what is missing, builds the suite in Release and runs the main
# job: the renderer in batch mode on the bundled demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build/release -j"$(nproc)"
build/release/bin/rz --batch "$@"
