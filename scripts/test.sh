#!/usr/bin/env bash
# Sets up the machine and runs every test of vardel:
#   1. the C++ core tests and the Python tests on a release build,
#   2. both again on an AddressSanitizer + UndefinedBehaviorSanitizer build,
#   3. `pip install .` into a fresh venv, its module compared with the CMake build's,
#   4. a release build and the Python tests for every other CPython 3.11 or
#      later on the machine (scripts/other_pythons.py finds them),
#   5. every fuzz target for a bounded time (FUZZ_SECONDS, default 60).
# PYTHON selects the interpreter (default Debian's /usr/bin/python3).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
python=${PYTHON:-/usr/bin/python3}
jobs=${JOBS:-$(nproc)}

bash scripts/setup.sh

step() { printf '\n==== %s\n' "$*"; }

build() {  # build PYTHON DIR [cmake args...]
  local py=$1 dir=$2; shift 2
  cmake -S "$root" -B "$dir" -DPython_EXECUTABLE="$py" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

step "release build"
build "$python" build/release -DCMAKE_BUILD_TYPE=Release
step "core tests (release)"
ctest --test-dir build/release --output-on-failure -j "$jobs"
step "python tests (release)"
VARDEL_BUILD_DIR=$root/build/release/python "$python" -m pytest -q tests/python

step "sanitizer build (address, undefined)"
build "$python" build/asan -DCMAKE_BUILD_TYPE=Debug -DVARDEL_SANITIZE=address,undefined
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

step "other interpreters"
others=()
found=$("$python" scripts/other_pythons.py)
if [[ -n $found ]]; then
  mapfile -t others <<<"$found"
else
  echo "no CPython 3.11 or later besides $python on this machine: skipping"
fi
# An interpreter without pytest of its own runs Debian's, which is pure Python;
# the warnings its assertion rewriter gives on newer interpreters are dropped.
debian_site=$(/usr/bin/python3 -c 'import os, pytest; print(os.path.dirname(os.path.dirname(pytest.__file__)))')
n=0
for line in "${others[@]}"; do
  read -r version other <<<"$line"
  n=$((n + 1))
  dir=build/other-$n-python-$version
  step "release build for Python $version ($other)"
  build "$other" "$dir" -DCMAKE_BUILD_TYPE=Release -DVARDEL_TESTS=OFF
  step "python tests (Python $version)"
  site=""
  "$other" -c 'import pytest' 2>/dev/null || site=$debian_site
  PYTHONPATH=$site PYTEST_DISABLE_PLUGIN_AUTOLOAD=1 VARDEL_BUILD_DIR=$root/$dir/python \
    "$other" -m pytest -q -p no:cacheprovider \
      -W 'ignore::DeprecationWarning:_pytest.assertion.rewrite' tests/python
done

step "fuzz targets"
FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash scripts/fuzz.sh

step "all tests passed"
