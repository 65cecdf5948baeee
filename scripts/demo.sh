#!/usr/bin/env bash
# Sets up the machine, builds the module and runs the demo on the bundled
# sample statement (examples/sample.sta). PYTHON selects the interpreter
# (default Debian's /usr/bin/python3); each one has its own build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build_dir.sh
python=${PYTHON:-/usr/bin/python3}
bash scripts/setup.sh >/dev/null
dir=$(build_dir build/release "$python")
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPython_EXECUTABLE="$python" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target vardel >/dev/null
PYTHONPATH=$PWD/$dir/python "$python" examples/demo.py examples/sample.sta
echo "vardel for $python is built in $PWD/$dir/python (put it on PYTHONPATH to import it)"
