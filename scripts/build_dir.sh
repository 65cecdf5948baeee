# Sourced by the scripts: one build folder per interpreter. A CMake build
# folder keeps the interpreter it was first configured for, so each
# interpreter gets its own and PYTHON may name any interpreter, after a run
# with another one and back again.
#
#   source scripts/build_dir.sh
#   dir=$(build_dir build/release "$python")
#
# prints build/release for Debian's /usr/bin/python3 (and for anything that
# runs that same interpreter, a venv over it among them), and
# build/release-python3.12.1-0123abcd for another interpreter: its version and
# the start of a checksum of its real path. Fails, naming PYTHON, for an
# interpreter that cannot be run.

# "VERSION REALPATH" of an interpreter; works on any Python, 2.7 included, so
# that the build itself can name an old version it refuses.
interpreter_id() {
  "$1" -c 'import os, sys
sys.stdout.write("%d.%d.%d %s\n" % (tuple(sys.version_info[:3]) + (os.path.realpath(sys.executable),)))'
}

# Debian's interpreter, asked once; empty where it is missing.
default_interpreter_id=$(interpreter_id /usr/bin/python3 2>/dev/null || true)

build_dir() {  # build_dir BASE PYTHON
  local base=$1 python=$2 id version path
  if ! id=$(interpreter_id "$python" 2>/dev/null); then
    echo "PYTHON=$python: cannot run this interpreter" >&2
    return 1
  fi
  if [[ $id == "$default_interpreter_id" ]]; then
    echo "$base"
    return
  fi
  read -r version path <<<"$id"
  echo "$base-python$version-$(printf '%s' "$path" | sha1sum | cut -c1-8)"
}
