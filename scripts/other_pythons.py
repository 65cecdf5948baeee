"""Prints, one a line as "VERSION PATH", every CPython 3.11 or later on this
machine other than the interpreter that runs this script: the range
pyproject.toml declares, so scripts/test.sh builds and tests vardel with each
of them too. interpreters() serves the tests that need an older one.

Looks at python3 and python3.N on PATH, in /usr/bin and /usr/local/bin, and
at pyenv's versions ($PYENV_ROOT, default ~/.pyenv). Each is named by the real
path of its executable, so a symlink, a pyenv shim and the file behind them
count once. An interpreter without the headers an extension is built with is
left out, with a line on stderr saying so.
"""

from __future__ import annotations

import glob
import os
import re
import subprocess
import sys

MINIMUM = (3, 11)

# What a candidate says of itself: implementation, version, real executable
# and whether its Python.h is there.
PROBE = """
import os, platform, sys, sysconfig
print(platform.python_implementation())
print("%d.%d.%d" % sys.version_info[:3])
print(os.path.realpath(sys.executable))
print(os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h")))
"""


def candidates():
    dirs = os.environ.get("PATH", "").split(os.pathsep) + ["/usr/bin", "/usr/local/bin"]
    for d in dict.fromkeys(filter(None, dirs)):
        try:
            names = os.listdir(d)
        except OSError:
            continue
        for name in sorted(names):
            if re.fullmatch(r"python3(\.\d+)?", name):
                yield os.path.join(d, name)
    pyenv_root = os.environ.get("PYENV_ROOT") or os.path.expanduser("~/.pyenv")
    yield from sorted(glob.glob(os.path.join(pyenv_root, "versions", "*", "bin", "python3")))


def probe(exe):
    """(version tuple, real path, has headers) of a CPython, else None."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("PYTHONPATH", "PYTHONHOME", "LD_PRELOAD")}
    try:
        run = subprocess.run([exe, "-I", "-c", PROBE], capture_output=True, text=True,
                             env=env, timeout=30)
    except (OSError, subprocess.TimeoutExpired):
        return None
    lines = run.stdout.split("\n")
    # A pyenv shim of a version that is installed but not selected exits non-zero.
    if run.returncode != 0 or len(lines) < 4 or lines[0] != "CPython":
        return None
    return tuple(map(int, lines[1].split("."))), lines[2], lines[3] == "True"


def interpreters():
    """(version tuple, real path, has headers) of every CPython found, each
    once, lazily in the order of candidates()."""
    seen = set()
    for exe in candidates():
        info = probe(exe)
        if info is None or info[1] in seen:
            continue
        seen.add(info[1])
        yield info


def main():
    this = os.path.realpath(sys.executable)
    found = []
    for version, real, has_headers in interpreters():
        if version < MINIMUM or real == this:
            continue
        shown = ".".join(map(str, version))
        if not has_headers:
            print(f"other_pythons: {real} (Python {shown}) has no Python.h; not tested",
                  file=sys.stderr)
            continue
        found.append((version, shown, real))
    for _, shown, real in sorted(found):
        print(shown, real)


if __name__ == "__main__":
    main()
