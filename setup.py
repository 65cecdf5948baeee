"""Builds the vardel extension module from the C++ sources.

    python -m pip install --no-build-isolation .

The same sources as the CMake target `vardel`: the binding in src/python and
the core library in src/core, compiled as C++20.
"""

import pathlib

from setuptools import Extension, setup

ROOT = pathlib.Path(__file__).resolve().parent


def sources():
    found = sorted(ROOT.glob("src/python/*.cc")) + sorted(ROOT.glob("src/core/**/*.cc"))
    return [str(p.relative_to(ROOT)) for p in found]


setup(
    # Keep setuptools' intermediate files out of the CMake build directories.
    options={"build": {"build_base": "build-setuptools"}},
    ext_modules=[
        Extension(
            "vardel",
            sources=sources(),
            include_dirs=["src"],
            language="c++",
            extra_compile_args=["-std=c++20", "-fvisibility=hidden",
                                "-fvisibility-inlines-hidden"],
            depends=[str(p.relative_to(ROOT)) for p in ROOT.glob("src/**/*.hpp")],
        )
    ],
)
