#!/usr/bin/env bash
# Sets up the machine, builds the module and runs the demo on the bundled
# sample statement (examples/sample.sta).
set -euo pipefail
cd "$(dirname "$0")/.."
python=${PYTHON:-/usr/bin/python3}
bash scripts/setup.sh >/dev/null
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE="$python" >/dev/null
cmake --build build/release -j "$(nproc)" --target vardel >/dev/null
PYTHONPATH=$PWD/build/release/python "$python" examples/demo.py examples/sample.sta
