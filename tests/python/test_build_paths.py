"""The two ways of building vardel: CMake and setuptools (`pip install .`).

The module pip installs must behave exactly as the CMake-built one under test
here. scripts/test.sh installs vardel with pip into a venv and runs this file
with VARDEL_PIP_PYTHON naming that venv's interpreter; without it the
comparison skips. A source distribution must hold every file setuptools
builds from. Both builds must turn away an interpreter older than 3.11 at
once, naming its version; that check skips when no such interpreter is
installed.
"""

from __future__ import annotations

import json
import os
import pathlib
import shutil
import subprocess
import sys
import tarfile

import pytest

import vardel
from conftest import MIXED, REPO_ROOT, TWO_STATEMENTS

sys.path.insert(0, str(REPO_ROOT / "scripts"))
import other_pythons  # noqa: E402  (finds the interpreters on this machine)

# Made absolute here (not resolved: a venv's python is a symlink), since the
# interpreter runs in a scratch directory.
PIP_PYTHON = os.environ.get("VARDEL_PIP_PYTHON")
if PIP_PYTHON:
    PIP_PYTHON = os.path.abspath(PIP_PYTHON)


def clean_env():
    """The environment for another interpreter: none of this run's module paths or preloads."""
    env = dict(os.environ)
    for name in ("VARDEL_BUILD_DIR", "PYTHONPATH", "PYTHONHOME", "LD_PRELOAD"):
        env.pop(name, None)
    return env


# Runs in the pip-installed interpreter: parses each text of the JSON list on
# stdin and prints, for each, the three exports or the error message.
PARSE_AND_EXPORT = """
import json, sys, vardel
results = []
for text, resolver in json.load(sys.stdin):
    try:
        m = vardel.MT940(text, resolver)
    except ValueError as e:
        results.append({"error": str(e)})
    else:
        results.append({"json": m.to_json(), "csv": m.to_csv(), "camt053": m.to_camt053()})
print(json.dumps({"file": vardel.__file__, "results": results}))
"""


def parse_and_export(text, resolver):
    try:
        m = vardel.MT940(text, resolver)
    except ValueError as e:
        return {"error": str(e)}
    return {"json": m.to_json(), "csv": m.to_csv(), "camt053": m.to_camt053()}


@pytest.mark.skipif(not PIP_PYTHON, reason="VARDEL_PIP_PYTHON names no pip-installed vardel")
def test_pip_installed_module_exports_the_same_text(tmp_path):
    cases = [
        ((REPO_ROOT / "examples" / "sample.sta").read_text(encoding="utf-8"), None),
        (MIXED, "auto"),
        (MIXED.replace("\n", "\r\n"), "gvc"),
        (TWO_STATEMENTS, "swift"),
        (MIXED * 4000, None),  # JSON and camt.053 exports of over 8 MiB take their own path
        (":20:X\n:25:A\n:28C:1\n:60F:C240230EUR1,00\n", None),
        ("no statement here", None),
    ]
    run = subprocess.run([PIP_PYTHON, "-c", PARSE_AND_EXPORT], input=json.dumps(cases),
                         capture_output=True, text=True, encoding="utf-8", cwd=tmp_path,
                         env=clean_env(), timeout=120)
    assert run.returncode == 0, run.stderr
    pip_side = json.loads(run.stdout)

    # Two different builds are compared, not one module with itself.
    pip_prefix = subprocess.run([PIP_PYTHON, "-c", "import sys; print(sys.prefix)"],
                                capture_output=True, text=True, env=clean_env(),
                                cwd=tmp_path, check=True).stdout.strip()
    pip_module = pathlib.Path(pip_side["file"]).resolve()
    assert pip_module.is_relative_to(pathlib.Path(pip_prefix).resolve())
    assert pip_module != pathlib.Path(vardel.__file__).resolve()

    assert len(pip_side["results"]) == len(cases)
    for (text, resolver), theirs in zip(cases, pip_side["results"]):
        ours = parse_and_export(text, resolver)
        assert theirs.keys() == ours.keys(), (text[:40], theirs.get("error"), ours.get("error"))
        for key in ours:
            assert theirs[key].encode("utf-8") == ours[key].encode("utf-8"), (text[:40], key)
    assert "error" not in pip_side["results"][0]


def has_setuptools(python):
    """Whether `python` imports setuptools (from 3.12 on, none comes with it)."""
    run = subprocess.run([python, "-c", "import setuptools"], capture_output=True,
                         env=clean_env(), timeout=60)
    return run.returncode == 0


def test_source_distribution_holds_everything_the_build_reads(tmp_path):
    if not has_setuptools(sys.executable):
        pytest.skip(f"{sys.executable} has no setuptools to build a source distribution with")
    tree = tmp_path / "tree"
    shutil.copytree(REPO_ROOT, tree,
                    ignore=shutil.ignore_patterns(".git", "build*", ".venv*", "*.egg-info",
                                                  "__pycache__"))
    run = subprocess.run([sys.executable, "setup.py", "-q", "sdist", "-d", str(tmp_path / "dist")],
                         cwd=tree, capture_output=True, text=True, env=clean_env(), timeout=120)
    assert run.returncode == 0, run.stderr
    (archive,) = (tmp_path / "dist").glob("vardel-*.tar.gz")
    with tarfile.open(archive) as tar:
        packed = {name.split("/", 1)[1] for name in tar.getnames() if "/" in name}
    needed = {"setup.py", "pyproject.toml", "cxx_flags.txt"}
    needed |= {str(p.relative_to(tree)) for p in (tree / "src").rglob("*")
               if p.suffix in (".cc", ".hpp")}
    assert needed - packed == set()


def older_interpreter():
    """(path, version) of the first Python 3 older than 3.11 found, or None."""
    for version, exe, _ in other_pythons.interpreters():
        if (3,) <= version < other_pythons.MINIMUM:
            return exe, ".".join(map(str, version))
    return None


@pytest.fixture(scope="module")
def old_python():
    found = older_interpreter()
    if found is None:
        pytest.skip("no Python older than 3.11 is installed")
    return found


def one_line(text):
    return " ".join(text.split())


def test_setup_py_stops_an_older_interpreter_at_once(old_python):
    exe, version = old_python
    run = subprocess.run([exe, "setup.py", "--version"], cwd=REPO_ROOT, capture_output=True,
                         text=True, env=clean_env(), timeout=60)
    assert run.returncode != 0
    assert f"vardel needs Python 3.11 or later, but {exe} is Python {version}." in run.stderr


@pytest.mark.skipif(shutil.which("cmake") is None, reason="cmake is not installed")
def test_cmake_stops_an_older_interpreter_at_once(old_python, tmp_path):
    exe, version = old_python
    run = subprocess.run(["cmake", "-S", str(REPO_ROOT), "-B", str(tmp_path / "build"),
                          f"-DPython_EXECUTABLE={exe}", "-DVARDEL_TESTS=OFF"],
                         capture_output=True, text=True, env=clean_env(), timeout=300)
    assert run.returncode != 0
    message = f"vardel needs Python 3.11 or later, but {exe} is Python {version}."
    assert message in one_line(run.stderr)


# The tests must test the build they are given: a VARDEL_BUILD_DIR without the
# module stops the run at once, naming the directory, instead of letting an
# installed or stale vardel stand in for it.
@pytest.mark.parametrize("make", [
    pytest.param(lambda path: None, id="missing"),
    pytest.param(lambda path: path.mkdir(), id="empty"),
])
def test_tests_stop_when_the_build_dir_holds_no_module(tmp_path, make):
    build_dir = tmp_path / "build"
    make(build_dir)
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                          str(REPO_ROOT / "tests" / "python" / "test_module.py")],
                         capture_output=True, text=True, cwd=tmp_path, timeout=120,
                         env={**os.environ, "VARDEL_BUILD_DIR": str(build_dir)})
    assert run.returncode == pytest.ExitCode.USAGE_ERROR, run.stdout + run.stderr
    assert f"VARDEL_BUILD_DIR={build_dir} holds no vardel module" in run.stderr
