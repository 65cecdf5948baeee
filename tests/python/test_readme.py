"""The Python examples of the README run as written, and its mend of the most
common rejected line shapes does what the README says, cost included."""

import re

import pytest

import vardel
from conftest import REPO_ROOT, statement

BLOCKS = re.findall(r"```python\n(.*?)```", (REPO_ROOT / "README.md").read_text(), re.S)


@pytest.fixture
def readme(tmp_path, monkeypatch):
    """The names that the README's blocks define, run in order in a folder
    whose statement.sta is the bundled sample."""
    sample = (REPO_ROOT / "examples" / "sample.sta").read_bytes()
    (tmp_path / "statement.sta").write_bytes(sample)
    monkeypatch.chdir(tmp_path)
    namespace = {}
    for block in BLOCKS:
        exec(block, namespace)  # noqa: S102  (the README's own code)
    return namespace


def test_examples_run_on_the_sample(readme):
    assert len(BLOCKS) >= 2
    assert readme["s"].account == "DE89370400440532013000"
    assert readme["csv_text"].startswith("\ufeffStatement,")


TWO = statement(":61:240102D1,00NTRFA", ref="FIRST") + statement(":61:240103C2,00NTRFB",
                                                                 ref="SECOND")


@pytest.mark.parametrize("text", [
    pytest.param(TWO.replace(":20:SECOND", "-\n:20:SECOND") + "-\n", id="dash"),
    pytest.param(TWO.replace(":20:SECOND", "-}\n:20:SECOND") + "-}", id="dash-brace"),
    pytest.param(TWO.replace(":20:SECOND", "-\x03\n:20:SECOND") + "-\x03\n", id="dash-etx"),
    pytest.param("\x01\n" + TWO.replace(":20:SECOND", "-\x03\n\x01\n:20:SECOND") + "-\x03\n",
                 id="mbank-soh"),
    pytest.param(TWO.replace("\n", "\r"), id="cr-alone"),
    pytest.param(TWO.replace("\n", "\r\n").replace(":20:SECOND", "-\r\n:20:SECOND"),
                 id="crlf-dash"),
])
def test_mend_lets_the_common_rejected_shapes_through(readme, text):
    with pytest.raises(ValueError):
        vardel.MT940(text)
    mended = vardel.MT940(readme["mend"](text))
    assert mended.to_csv() == vardel.MT940(TWO).to_csv()


@pytest.mark.parametrize("line", [
    pytest.param("-", id="dash"),
    pytest.param("-}", id="dash-brace"),
    pytest.param("-\x03", id="dash-etx"),
    pytest.param("\x01", id="soh"),
])
def test_mend_drops_a_narrative_line_that_is_an_end_of_message_line(readme, line):
    text = statement(":61:240102D1,00NTRFA", ":86:Rent", line)
    assert vardel.MT940(text).transactions[0].details == "Rent" + line
    assert vardel.MT940(readme["mend"](text)).transactions[0].details == "Rent"
