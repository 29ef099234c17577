#!/usr/bin/env bash
# Runs the build benchmarks against a built tree: bench/run.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exec python3 "$here/build_bench.py" --build-dir "${1:-$here/../build}" "${@:2}"
