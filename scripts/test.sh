#!/usr/bin/env bash
# Sets up the machine and runs every test of vardel:
#   1. the C++ core tests and the Python tests on a release build,
#   2. both again on an AddressSanitizer + UndefinedBehaviorSanitizer build,
#   3. `pip install .` into a fresh venv, its module compared with the CMake build's,
#   4. every fuzz target for a bounded time (FUZZ_SECONDS, default 60).
# PYTHON selects the interpreter (default Debian's /usr/bin/python3).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
python=${PYTHON:-/usr/bin/python3}
jobs=${JOBS:-$(nproc)}

bash scripts/setup.sh

step() { printf '\n==== %s\n' "$*"; }

build() {  # build DIR [cmake args...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DPython_EXECUTABLE="$python" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

step "release build"
build build/release -DCMAKE_BUILD_TYPE=Release
step "core tests (release)"
ctest --test-dir build/release --output-on-failure -j "$jobs"
step "python tests (release)"
VARDEL_BUILD_DIR=$root/build/release/python "$python" -m pytest -q tests/python

step "sanitizer build (address, undefined)"
build build/asan -DCMAKE_BUILD_TYPE=Debug -DVARDEL_SANITIZE=address,undefined
step "core tests (asan+ubsan)"
ctest --test-dir build/asan --output-on-failure -j "$jobs"
step "python tests (asan+ubsan)"
# The interpreter is not built with ASan: preload both runtimes.
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" \
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
VARDEL_BUILD_DIR=$root/build/asan/python VARDEL_SANITIZED=1 \
  "$python" -m pytest -q -p no:cacheprovider tests/python

step "pip install into a fresh venv"
venv=$root/build/venv
rm -rf "$venv"
"$python" -m venv --system-site-packages "$venv"
"$venv/bin/pip" install -q --no-build-isolation --no-deps "$root"
step "pip-installed module against the CMake build"
VARDEL_BUILD_DIR=$root/build/release/python VARDEL_PIP_PYTHON=$venv/bin/python \
  "$python" -m pytest -q -p no:cacheprovider tests/python/test_build_paths.py

step "fuzz targets"
FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash scripts/fuzz.sh

step "all tests passed"
