#!/usr/bin/env bash
# Installs missing packages, builds, and starts the workbench.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target zeph
exec build/zeph "$@"
