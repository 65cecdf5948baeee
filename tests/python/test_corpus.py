"""Robustness over real bank statement files.

Every MT940 file of the shared corpus (../shared/corpus beside the repository;
the module is skipped when it is absent) goes through every resolver. Each
either parses or raises ValueError, never another exception; for each that
parses, the three exports are read back with json, csv and ElementTree and
agree with one another and with the Python objects: statement and transaction
counts, amounts, marks and dates.

Files that are not UTF-8 are decoded as Latin-1. Nothing of the corpus is
copied into the repository.
"""

from __future__ import annotations

import csv
import io
import json
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

import vardel

REPO_ROOT = Path(__file__).resolve().parents[2]
CORPUS = REPO_ROOT.parent / "shared" / "corpus"

if not CORPUS.is_dir():
    pytest.skip(f"no statement corpus at {CORPUS}", allow_module_level=True)

RESOLVERS = ["auto", "swift", "gvc", "angular"]
DATA_SUFFIXES = {".sta", ".txt", ".mt940", ".940", ".stmt", ".mta"}
# Licences, notes, schemas, expected outputs of other tools and source code.
SKIP_SUFFIXES = {".xsd", ".xml", ".json", ".yml", ".yaml", ".md", ".rst", ".html", ".php",
                 ".py", ".rs", ".rb", ".js", ".ts", ".go", ".java", ".cs", ".c", ".h", ".cc",
                 ".cpp", ".sh", ".toml", ".lock", ".cfg", ".ini", ".csv", ".pdf"}
SKIP_STEMS = ("license", "licence", "readme", "sources", "copying", "notice", "changelog")
CSV_HEADER = ["Statement", "Account", "Currency", "Date", "EntryDate", "Type", "Reference",
              "BankRef", "Counterparty", "CounterIBAN", "Purpose", "Amount", "IsReversal"]
CAMT_NS = "{urn:iso:std:iso:20022:tech:xsd:camt.053.001.06}"


def _looks_like_statement(path: Path) -> bool:
    """For files without a data suffix: the content starts like MT940 (a tag
    or a SWIFT block), or a :20: tag follows a bank's header lines."""
    with path.open("rb") as f:
        head = f.read(4096)
    start = head.removeprefix(b"\xef\xbb\xbf").lstrip()
    return start[:1] in (b":", b"{") or b"\n:20:" in head


def statement_files() -> list[Path]:
    found = []
    for path in sorted(CORPUS.rglob("*")):
        if not path.is_file():
            continue
        name = path.name.lower()
        suffix = path.suffix.lower()
        if name.startswith(SKIP_STEMS) or suffix in SKIP_SUFFIXES:
            continue
        if suffix in DATA_SUFFIXES or _looks_like_statement(path):
            found.append(path)
    return found


FILES = statement_files()


def read_statement_text(path: Path) -> str:
    data = path.read_bytes()
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("latin-1")


def construct(text: str, resolver: str):
    """MT940(text, resolver), or None when it raises ValueError; any other
    exception fails the test."""
    try:
        return vardel.MT940(text, resolver)
    except ValueError as e:
        assert str(e), "ValueError without a message"
        return None
    except (KeyboardInterrupt, SystemExit):
        raise
    except BaseException as e:  # noqa: BLE001 - the panic exception is a BaseException
        pytest.fail(f"MT940(...) raised {type(e).__name__}: {e}")


def read_csv(text: str) -> list[list[str]]:
    assert text.startswith("\ufeff"), "CSV without byte-order mark"
    assert text.endswith("\n")
    rows = list(csv.reader(io.StringIO(text[1:], newline=""), strict=True))
    assert rows[0] == CSV_HEADER
    for row in rows[1:]:
        assert len(row) == len(CSV_HEADER), row
    return rows[1:]


@pytest.fixture(scope="module", params=FILES,
                ids=[str(p.relative_to(CORPUS)) for p in FILES])
def statement_text(request) -> str:
    return read_statement_text(request.param)


@pytest.mark.parametrize("resolver", RESOLVERS)
def test_file_parses_or_raises_value_error_and_exports_agree(statement_text, resolver):
    mt = construct(statement_text, resolver)
    if mt is None:
        return
    assert mt.resolver_used == resolver

    statements = json.loads(mt.to_json())
    assert isinstance(statements, list) and statements
    json_tx = [(s, t) for s in statements for t in s["transactions"]]
    rows = read_csv(mt.to_csv())
    root = ET.fromstring(mt.to_camt053())  # well-formed, whatever the narratives hold
    stmts = root.findall(f"{CAMT_NS}BkToCstmrStmt/{CAMT_NS}Stmt")
    entries = [n for s in stmts for n in s.findall(f"{CAMT_NS}Ntry")]

    assert len(stmts) == len(statements)
    assert len(rows) == len(json_tx) == len(entries)

    for (s, t), row, ntry in zip(json_tx, rows, entries):
        cell = dict(zip(CSV_HEADER, row))
        assert cell["Statement"] == s["number"]["statement"]
        assert cell["Account"] == s["accountIdentification"]
        assert cell["Currency"] == s["currency"] == t["currency"]
        assert cell["Date"] == t["date"] == ntry.findtext(f"{CAMT_NS}ValDt/{CAMT_NS}Dt")
        assert cell["EntryDate"] == t.get("entryDate", t["date"])
        assert cell["EntryDate"] == ntry.findtext(f"{CAMT_NS}BookgDt/{CAMT_NS}Dt")
        assert cell["Type"] == t["transactionType"]
        assert cell["Reference"] == t["reference"]
        assert cell["BankRef"] == t["bankReference"]
        amount = cell["Amount"]
        assert float(amount) == t["amount"]
        assert ntry.findtext(f"{CAMT_NS}Amt") == amount.removeprefix("-")
        assert ntry.findtext(f"{CAMT_NS}CdtDbtInd") == ("DBIT" if amount.startswith("-")
                                                         else "CRDT")
        assert cell["IsReversal"] == ("Y" if t["isReversal"] else "N")
        assert ntry.findtext(f"{CAMT_NS}RvslInd") == ("true" if t["isReversal"] else "false")

    first = statements[0]
    assert len(mt) == len(first["transactions"])
    assert mt.account == first["accountIdentification"]
    assert mt.currency == first["currency"]
    assert mt.opening_balance == first["openingBalance"]
    assert mt.closing_balance == first["closingBalance"]
    transactions = mt.transactions
    assert len(transactions) == len(mt)
    for tx, t in zip(transactions, first["transactions"]):
        assert tx.value_date == t["date"]
        assert tx.entry_date == t.get("entryDate")
        assert tx.amount == tx.signed_amount() == t["amount"]
        assert tx.is_reversal is t["isReversal"]
        assert tx.is_debit is not tx.is_credit
        assert tx.transaction_type == t["transactionType"]
        assert tx.customer_reference == t["reference"]
        assert (tx.bank_reference or "") == t["bankReference"]
        assert tx.details == t["details"]
        assert tx.structured_details == t.get("structuredDetails")
