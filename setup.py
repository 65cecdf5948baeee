"""Builds the vardel extension module from the C++ sources.

    python -m pip install --no-build-isolation .

The same sources as the CMake target `vardel`: the binding in src/python and
the core library in src/core, compiled with the flags in cxx_flags.txt, which
CMakeLists.txt reads too.
"""

import sys

# The module uses PyType_GetQualName and PyType_GetName, which came with
# Python 3.11 (pyproject.toml's requires-python and src/python/CMakeLists.txt
# say the same). Checked before anything else, in syntax any Python accepts,
# so that an older interpreter stops here with this message rather than
# inside the C++ compiler.
MIN_PYTHON = (3, 11)
if sys.version_info[:2] < MIN_PYTHON:
    sys.exit("vardel needs Python %d.%d or later, but %s is Python %d.%d.%d."
             % (MIN_PYTHON + (sys.executable,) + tuple(sys.version_info[:3])))

import pathlib  # noqa: E402  (after the version check)

from setuptools import Extension, setup  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent


def sources():
    found = sorted(ROOT.glob("src/python/*.cc")) + sorted(ROOT.glob("src/core/**/*.cc"))
    return [str(p.relative_to(ROOT)) for p in found]


def cxx_flags():
    """The shared compiler flags: the lines of cxx_flags.txt that start with '-'.

    setuptools adds the interpreter's own optimisation and debug flags (from
    sysconfig, e.g. -O2 -g -DNDEBUG -fwrapv on Debian) as it does for every
    extension; the CMake build takes those from its build type instead. They
    are the only flags in which the two builds differ.
    """
    lines = (ROOT / "cxx_flags.txt").read_text(encoding="utf-8").splitlines()
    return [line.rstrip() for line in lines if line.startswith("-")]


setup(
    # Keep setuptools' intermediate files out of the CMake build directories.
    options={"build": {"build_base": "build-setuptools"}},
    ext_modules=[
        Extension(
            "vardel",
            sources=sources(),
            include_dirs=["src"],
            language="c++",
            extra_compile_args=cxx_flags(),
            depends=[str(p.relative_to(ROOT)) for p in ROOT.glob("src/**/*.hpp")]
            + ["cxx_flags.txt"],
        )
    ],
)
