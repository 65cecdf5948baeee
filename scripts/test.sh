#!/usr/bin/env bash
# Sets up the machine and runs every test of vardel:
#   1. the C++ core tests and the Python tests on a release build,
#   2. the demo with another interpreter and back again (PYTHON switches),
#   3. the core and Python tests again on an AddressSanitizer +
#      UndefinedBehaviorSanitizer build,
#   4. `pip install .` into a fresh venv, its module compared with the CMake build's,
#   5. a release build and the Python tests for every other CPython 3.11 or
#      later on the machine (scripts/other_pythons.py finds them),
#   6. every fuzz target for a bounded time (FUZZ_SECONDS, default 60).
# PYTHON selects the interpreter (default Debian's /usr/bin/python3); each
# interpreter has its own build folders (scripts/build_dir.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/build_dir.sh
python=${PYTHON:-/usr/bin/python3}
jobs=${JOBS:-$(nproc)}

bash scripts/setup.sh

step() { printf '\n==== %s\n' "$*"; }

configure() {  # configure PYTHON DIR [cmake args...]
  local py=$1 dir=$2; shift 2
  cmake -S "$root" -B "$dir" -DPython_EXECUTABLE="$py" "$@" >/dev/null
}

# An interpreter without pytest of its own runs Debian's, which is pure
# Python; the warnings its assertion rewriter gives on newer interpreters are
# dropped.
debian_site=$(/usr/bin/python3 -c 'import os, pytest; print(os.path.dirname(os.path.dirname(pytest.__file__)))')
run_pytest() {  # run_pytest PYTHON DIR PYTEST-ARGS...: tests of the module built in DIR
  local py=$1 dir=$2; shift 2
  local -a env=(VARDEL_BUILD_DIR="$root/$dir/python") opts=()
  if ! "$py" -c 'import pytest' 2>/dev/null; then
    env+=(PYTHONPATH="$debian_site" PYTEST_DISABLE_PLUGIN_AUTOLOAD=1)
    opts+=(-W 'ignore::DeprecationWarning:_pytest.assertion.rewrite')
  fi
  env "${env[@]}" "$py" -m pytest -q "${opts[@]}" "$@"
}

others=()
found=$("$python" scripts/other_pythons.py)
[[ -z $found ]] || mapfile -t others <<<"$found"
no_others="no CPython 3.11 or later besides $python on this machine: skipping"

release=$(build_dir build/release "$python")
step "release build ($release)"
configure "$python" "$release" -DCMAKE_BUILD_TYPE=Release
cmake --build "$release" -j "$jobs"
step "core tests (release)"
ctest --test-dir "$release" --output-on-failure -j "$jobs"
step "python tests (release)"
run_pytest "$python" "$release" tests/python

step "demo with another interpreter, then with $python"
if ((${#others[@]})); then
  read -r _ other <<<"${others[0]}"
  PYTHON=$other bash scripts/demo.sh | tail -n 1
  PYTHON=$python bash scripts/demo.sh | tail -n 1
else
  echo "$no_others"
fi

asan=$(build_dir build/asan "$python")
step "sanitizer build (address, undefined; $asan)"
configure "$python" "$asan" -DCMAKE_BUILD_TYPE=Debug -DVARDEL_SANITIZE=address,undefined
cmake --build "$asan" -j "$jobs"
step "core tests (asan+ubsan)"
ctest --test-dir "$asan" --output-on-failure -j "$jobs"
step "python tests (asan+ubsan)"
# The interpreter is not built with ASan: preload both runtimes.
LD_PRELOAD="$(g++ -print-file-name=libasan.so) $(g++ -print-file-name=libstdc++.so)" \
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
VARDEL_SANITIZED=1 run_pytest "$python" "$asan" -p no:cacheprovider tests/python

step "pip install into a fresh venv"
# Nothing can be downloaded: the venv builds with the interpreter's own
# setuptools and wheel.
if "$python" -c 'import setuptools, wheel' 2>/dev/null; then
  venv=$root/build/venv
  rm -rf "$venv"
  "$python" -m venv --system-site-packages "$venv"
  "$venv/bin/pip" install -q --no-build-isolation --no-deps "$root"
  step "pip-installed module against the CMake build"
  VARDEL_PIP_PYTHON=$venv/bin/python run_pytest "$python" "$release" -p no:cacheprovider \
    tests/python/test_build_paths.py
else
  echo "$python has no setuptools and wheel: skipping"
fi

step "other interpreters"
((${#others[@]})) || echo "$no_others"
for line in "${others[@]}"; do
  read -r version other <<<"$line"
  dir=$(build_dir build/release "$other")
  step "release build for Python $version ($other; $dir)"
  configure "$other" "$dir" -DCMAKE_BUILD_TYPE=Release
  cmake --build "$dir" -j "$jobs" --target vardel
  step "python tests (Python $version)"
  run_pytest "$other" "$dir" -p no:cacheprovider tests/python
done

step "fuzz targets"
FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash scripts/fuzz.sh

step "all tests passed"
