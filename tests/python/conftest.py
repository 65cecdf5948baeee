"""Shared fixtures for the vardel Python tests.

The module under test is the one in $VARDEL_BUILD_DIR (the directory that
holds the built extension, or a CMake build directory whose python/
subdirectory does) when that variable is set, else an installed vardel. A
VARDEL_BUILD_DIR that holds no module for this interpreter stops the run
before any test, naming the directory.
"""

import importlib.machinery
import os
import pathlib
import subprocess
import sys

import pytest

_build_dir = os.environ.get("VARDEL_BUILD_DIR")
_module_dir = None  # the directory vardel must come from, when VARDEL_BUILD_DIR is set
_stop = None        # why the run stops before any test, or None
if _build_dir:
    _module_dir = next(
        (candidate.resolve()
         for candidate in (pathlib.Path(_build_dir) / "python", pathlib.Path(_build_dir))
         for suffix in importlib.machinery.EXTENSION_SUFFIXES
         if (candidate / f"vardel{suffix}").is_file()),
        None)
    if _module_dir is None:
        _stop = (f"VARDEL_BUILD_DIR={_build_dir} holds no vardel module for this interpreter "
                 f"(vardel{importlib.machinery.EXTENSION_SUFFIXES[0]}), nor does its python/")
    else:
        sys.path.insert(0, str(_module_dir))

if _stop is None:
    import vardel  # noqa: E402  (after the path set-up above)

    if _module_dir is not None and pathlib.Path(vardel.__file__).resolve().parent != _module_dir:
        _stop = f"VARDEL_BUILD_DIR={_build_dir}: vardel was imported from {vardel.__file__}"


def pytest_configure(config):
    if _stop is not None:
        pytest.exit(_stop, returncode=pytest.ExitCode.USAGE_ERROR)


REPO_ROOT = pathlib.Path(__file__).resolve().parents[2]


def run_script(script, *args, timeout=120, env=None):
    """Runs `script` in a new interpreter, with the directory of the module
    under test as sys.argv[1] and `args` after it. The environment is kept,
    with `env` added: under the sanitizer run the child preloads the same
    runtimes."""
    return subprocess.run([sys.executable, "-c", script, os.path.dirname(vardel.__file__), *args],
                          capture_output=True, text=True, timeout=timeout,
                          env={**os.environ, **(env or {})})


def statement(*body, ref="STMT1", account="DE89370400440532013000", number="00001/001",
              opening="C240101EUR100,00", closing="C240131EUR100,00", opening_tag=":60F:",
              closing_tag=":62F:", trailer=()):
    """One MT940 statement made of the given :61:/:86: lines (LF line ends)."""
    lines = [f":20:{ref}", f":25:{account}", f":28C:{number}", f"{opening_tag}{opening}"]
    lines += list(body)
    lines.append(f"{closing_tag}{closing}")
    lines += list(trailer)
    return "\n".join(lines) + "\n"


# A statement with one transaction of each narrative convention and mark.
MIXED = statement(
    ":61:2401020102D100,00NTRFINV-1//BANK-1",
    ":86:/EREF/E2E-1/NAME/Muster Bau GmbH/IBAN/DE02120300000000202051/REMI/Invoice 7",
    ":61:240103C250,50NTRFNONREF//",
    ":86:166?00GUTSCHRIFT?20SVWZ+Miete?21Januar?31DE00123?32Max Muster?33GmbH",
    ":61:240104RC0,00NCHGREF-3",
    ":86:NTRF<20Rent<21 May<32John Doe<30GENODEF1",
    ":61:240105RD3,00NMSCREF-4//B4",
    ":86:Card payment, Baeckerei Schmidt",
    ":61:240106D0,00NTRFREF-5",
    opening="D240101EUR100,00",
    closing="C240131EUR1,239",
)

# Two statements; the second has other values everywhere.
TWO_STATEMENTS = statement(
    ":61:240102C10,00NTRFA",
    ":86:/EREF/E-1",
    ":61:240103D5,00NTRFB",
    ref="FIRST",
) + statement(
    ":61:240202C7,00NTRFC",
    ":61:240203C8,00NTRFD",
    ":61:240204C9,00NTRFE",
    ref="SECOND", account="NL91ABNA0417164300", number="00002/001",
    opening="C240201USD42,00", closing="C240229USD66,00",
)

# A first statement without any :61: line, then one with a transaction.
EMPTY_FIRST = statement(ref="EMPTY") + statement(
    ":61:240202C7,00NTRFC", ref="LATER", number="00002")


@pytest.fixture
def mixed():
    return vardel.MT940(MIXED)


@pytest.fixture
def mixed_transactions():
    return vardel.MT940(MIXED).transactions


@pytest.fixture
def two_statements():
    return vardel.MT940(TWO_STATEMENTS)


@pytest.fixture
def empty_first():
    return vardel.MT940(EMPTY_FIRST)


@pytest.fixture
def sample_text():
    return (REPO_ROOT / "examples" / "sample.sta").read_text(encoding="utf-8")
