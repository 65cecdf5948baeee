"""MT940 length, properties and the three exports."""

import csv
import io
import json
import os
import xml.etree.ElementTree as ET

import pytest

import vardel
from conftest import statement

CAMT_NS = "{urn:iso:std:iso:20022:tech:xsd:camt.053.001.06}"
CSV_HEADER = ["Statement", "Account", "Currency", "Date", "EntryDate", "Type", "Reference",
              "BankRef", "Counterparty", "CounterIBAN", "Purpose", "Amount", "IsReversal"]


def read_csv(text):
    assert text.startswith("\ufeff")
    return list(csv.reader(io.StringIO(text[1:], newline="")))


def test_first_statement_properties(mixed):
    assert len(mixed) == 5
    assert bool(mixed) is True
    assert mixed.account == "DE89370400440532013000"
    assert mixed.currency == "EUR"
    assert mixed.resolver_used == "auto"


def test_two_statements_describe_first_only(two_statements):
    m = two_statements
    assert len(m) == 2
    assert m.account == "DE89370400440532013000"
    assert m.currency == "EUR"
    assert m.opening_balance == 100.0
    assert m.closing_balance == 100.0
    assert [t.customer_reference for t in m.transactions] == ["A", "B"]


def test_two_statements_exports_carry_both(two_statements):
    m = two_statements
    data = json.loads(m.to_json())
    assert [s["transactionReference"] for s in data] == ["FIRST", "SECOND"]
    assert [len(s["transactions"]) for s in data] == [2, 3]
    rows = read_csv(m.to_csv())
    assert rows[0] == CSV_HEADER
    assert [r[6] for r in rows[1:]] == ["A", "B", "C", "D", "E"]
    assert [r[1] for r in rows[1:]] == ["DE89370400440532013000"] * 2 + ["NL91ABNA0417164300"] * 3
    root = ET.fromstring(m.to_camt053())
    assert root.tag == CAMT_NS + "Document"
    stmts = root.iter(CAMT_NS + "Stmt")
    assert [len(list(s.iter(CAMT_NS + "Ntry"))) for s in stmts] == [2, 3]


def test_empty_first_statement(empty_first):
    m = empty_first
    assert len(m) == 0
    assert not m
    assert m.transactions == []
    assert m.account == "DE89370400440532013000"
    data = json.loads(m.to_json())
    assert [len(s["transactions"]) for s in data] == [0, 1]
    assert len(read_csv(m.to_csv())) == 2
    assert len(list(ET.fromstring(m.to_camt053()).iter(CAMT_NS + "Ntry"))) == 1


@pytest.mark.parametrize("kwargs, opening, closing", [
    pytest.param({"opening": "D240101EUR100,00"}, -100.0, 100.0, id="debit-balance-negative"),
    pytest.param({"closing": "C240131EUR1,239"}, 100.0, 1.239, id="three-fraction-digits"),
    pytest.param({"opening": "C240101EUR0,00", "closing": "D240131EUR0,"}, 0.0, -0.0,
                 id="zero-balances"),
    pytest.param({"opening": "C240101EUR1234567890123,45"}, 1234567890123.45, 100.0,
                 id="large"),
    pytest.param({"opening_tag": ":60M:", "closing_tag": ":62M:",
                  "opening": "C240101EUR5,5", "closing": "D240131EUR7,25"}, 5.5, -7.25,
                 id="intermediate"),
])
def test_balances(kwargs, opening, closing):
    m = vardel.MT940(statement(**kwargs))
    # repr tells -0.0 from 0.0: a zero debit balance is negative like a zero debit line.
    assert (repr(m.opening_balance), repr(m.closing_balance)) == (repr(opening), repr(closing))
    assert type(m.opening_balance) is float


@pytest.mark.parametrize("trailer, available, forward", [
    pytest.param((), -4.0, -4.0, id="fall-back-to-closing"),
    pytest.param((":64:D240131EUR3,50", ":65:C240201EUR2,00"), -3.5, 2.0, id="own-values"),
])
def test_overdraft_balances_negative(trailer, available, forward):
    # An overdrawn account: the balances add up with the signed amounts.
    m = vardel.MT940(statement(":61:240115D14,00NTRFX", ":61:240116C0,50NTRFY",
                               opening="C240101EUR9,50", closing="D240131EUR4,00",
                               trailer=trailer))
    assert (m.opening_balance, m.closing_balance) == (9.5, -4.0)
    assert m.opening_balance + sum(t.amount for t in m.transactions) == m.closing_balance
    (stmt,) = json.loads(m.to_json())
    assert [stmt[k] for k in ("openingBalance", "closingBalance", "closingAvailableBalance",
                              "forwardAvailableBalance")] == [9.5, -4.0, available, forward]
    root = ET.fromstring(m.to_camt053())
    closing = [b for b in root.iter(CAMT_NS + "Bal")
               if b.findtext(f".//{CAMT_NS}Cd") == "CLBD"][0]
    assert (closing.findtext(CAMT_NS + "Amt"), closing.findtext(CAMT_NS + "CdtDbtInd")) == \
        ("4.00", "DBIT")


# camt.053 read back by an XML reader gives the properties' values: every
# fraction digit of a balance (KWD has three), and a carriage return, a tab or
# both in the currency attribute and in the party, IBAN and purpose texts (a
# reader turns a raw CR into LF everywhere, a raw tab into a space in an
# attribute).
@pytest.mark.parametrize("currency", ["KWD", "E\tR", "E\rR", "\r\t\r"])
@pytest.mark.parametrize("narrative", ["/NAME/A\rB/IBAN/DE\r02\t1/REMI/pay\rnext\ttab",
                                       "Fee\rcharged\tin error"])
def test_camt_reads_back_as_the_properties(currency, narrative):
    m = vardel.MT940(statement(":61:240102D1,00NTRFX", f":86:{narrative}",
                               opening=f"C240101{currency}99,999", closing=f"D240131{currency}0,5"))
    root = ET.fromstring(m.to_camt053())
    assert root.findtext(f".//{CAMT_NS}Acct/{CAMT_NS}Ccy") == m.currency == currency
    assert [a.get("Ccy") for a in root.iter(CAMT_NS + "Amt")] == [m.currency] * 3
    amounts = [(b.findtext(CAMT_NS + "Amt"), b.findtext(CAMT_NS + "CdtDbtInd"))
               for b in root.iter(CAMT_NS + "Bal")]
    assert amounts == [("99.999", "CRDT"), ("0.50", "DBIT")]
    assert (float(amounts[0][0]), -float(amounts[1][0])) == (m.opening_balance, m.closing_balance)
    (t,) = m.transactions
    assert t.purpose
    assert root.findtext(f".//{CAMT_NS}Ustrd") == t.purpose
    assert root.findtext(f".//{CAMT_NS}Nm") == (t.counterparty or None)
    assert root.findtext(f".//{CAMT_NS}CdtrAcct/{CAMT_NS}Id/{CAMT_NS}IBAN") == \
        (t.counter_iban or None)


def test_currency_is_opening_currency():
    m = vardel.MT940(statement(opening="C240101CHF1,00", closing="C240131EUR1,00"))
    assert m.currency == "CHF"


def test_transactions_are_new_every_access(mixed):
    first, second = mixed.transactions, mixed.transactions
    assert type(first) is list
    assert first is not second
    assert len(first) == len(second) == len(mixed)
    for a, b in zip(first, second):
        assert a is not b
        assert type(a) is vardel.Transaction
        assert (a.value_date, a.amount, a.details, a.structured_details) == \
               (b.value_date, b.amount, b.details, b.structured_details)
    first.clear()
    assert len(mixed.transactions) == 5


def test_exports_basic_form(mixed):
    j, c, x = mixed.to_json(), mixed.to_csv(), mixed.to_camt053()
    assert all(type(t) is str for t in (j, c, x))
    assert c[0] == "\ufeff"
    assert not j.startswith("\ufeff") and not x.startswith("\ufeff")
    assert j.startswith("[") and j.endswith("]")
    assert x.startswith('<?xml version="1.0" encoding="UTF-8"?>')
    assert (mixed.to_json(), mixed.to_csv(), mixed.to_camt053()) == (j, c, x)


def test_csv_rows(mixed):
    rows = read_csv(mixed.to_csv())
    assert rows[0] == CSV_HEADER
    amounts = [r[11] for r in rows[1:]]
    assert amounts == ["-100.00", "250.50", "-0.00", "3.00", "-0.00"]
    assert [r[12] for r in rows[1:]] == ["N", "N", "Y", "Y", "N"]
    # Unstructured narrative: no counterparty or IBAN, the text as purpose.
    assert rows[4][8:11] == ["", "", "Card payment, Baeckerei Schmidt"]
    assert rows[1][8:11] == ["Muster Bau GmbH", "DE02120300000000202051", "Invoice 7"]


def test_csv_quoted_cells_read_back():
    text = statement(':61:240102C1,00NTRFA"B//', ':86:/REMI/Rent, May "flat 3"/NAME/X')
    (row,) = read_csv(vardel.MT940(text).to_csv())[1:]
    assert row[6] == 'A"B'
    assert row[7] == ""
    assert row[10] == 'Rent, May "flat 3"'


# A carriage return inside a line is kept by the reader (mixed line ends give
# one). Its cell is quoted, so csv reads the row back whole both ways: with
# StringIO's default, and with newline="" as for a file opened that way.
@pytest.mark.parametrize("newline", ["\n", ""])
def test_csv_cell_with_carriage_return_reads_back_whole(newline):
    m = vardel.MT940(statement(":61:240102D1,00NTRFX", ":86:/REMI/pay\rnext"))
    reader = csv.DictReader(io.StringIO(m.to_csv().lstrip("\ufeff"), newline=newline))
    assert [(r["Reference"], r["Purpose"], r["Amount"], r["IsReversal"]) for r in reader] == \
        [("X", "pay\rnext", "-1.00", "N")]


def test_json_values(mixed):
    (stmt,) = json.loads(mixed.to_json())
    assert stmt["accountIdentification"] == "DE89370400440532013000"
    assert stmt["currency"] == "EUR"
    assert stmt["openingBalance"] == -100.0  # the mark D
    assert stmt["closingBalance"] == 1.239
    txs = stmt["transactions"]
    assert [t["amount"] for t in txs] == [-100.0, 250.5, -0.0, 3.0, -0.0]
    assert [t["isReversal"] for t in txs] == [False, False, True, True, False]
    assert txs[0]["structuredDetails"]["NAME"] == "Muster Bau GmbH"
    assert "structuredDetails" not in txs[4]


@pytest.mark.parametrize("line, want", [
    pytest.param(":61:2401150115RCR10,00NTRFREF1", "R", id="reversal-of-credit"),
    pytest.param(":61:240115RDN10,00NTRFREF1", "N", id="reversal-of-debit"),
    pytest.param(":61:240115CR10,00NTRFREF1", "R", id="credit"),
    pytest.param(":61:240115DN10,00NTRFREF1", "N", id="debit"),
    pytest.param(":61:240115RC10,00NTRFREF1", None, id="none"),
])
def test_json_funds_code_for_every_mark(line, want):
    (tx,) = json.loads(vardel.MT940(statement(line)).to_json())[0]["transactions"]
    assert tx.get("fundsCode") == want


def test_utf8_files_with_byte_order_marks(tmp_path):
    # Two files, each saved with a mark, joined as cat joins them; the first
    # ends with a statement-level :86:, which a hidden :20: would run into.
    first = statement(":61:240102C1,00NTRFA", ref="FIRST", trailer=[":86:owner info"])
    second = statement(":61:240202D2,00NTRFB", ref="SECOND", account="NL91ABNA0417164300")
    path = tmp_path / "joined.sta"
    path.write_bytes(("\ufeff" + first + "\ufeff" + second).encode("utf-8"))
    with open(path, encoding="utf-8") as f:
        text = f.read()
    assert text.startswith("\ufeff:20:FIRST")
    got = vardel.MT940(text).to_json()
    stmts = json.loads(got)
    assert [s["transactionReference"] for s in stmts] == ["FIRST", "SECOND"]
    assert stmts[0]["informationToAccountOwner"] == "owner info"
    assert got == vardel.MT940(first + second).to_json()


def test_camt_is_well_formed_with_entries(mixed):
    root = ET.fromstring(mixed.to_camt053())
    assert len(list(root.iter(CAMT_NS + "Stmt"))) == 1
    assert len(list(root.iter(CAMT_NS + "Ntry"))) == 5
    assert root.find(f"{CAMT_NS}BkToCstmrStmt/{CAMT_NS}GrpHdr/{CAMT_NS}MsgId").text == "MT940-EXPORT"


def test_non_ascii_round_trips():
    text = statement(":61:240102C1,00NTRFX", ":86:/NAME/Jürgen Müller & Söhne <ÄÖÜ> 😀",
                     account="DE00 äöü")
    m = vardel.MT940(text)
    assert m.account == "DE00 äöü"
    assert m.transactions[0].counterparty == "Jürgen Müller & Söhne <ÄÖÜ> 😀"
    assert json.loads(m.to_json())[0]["transactions"][0]["details"] == \
        "/NAME/Jürgen Müller & Söhne <ÄÖÜ> 😀"
    assert read_csv(m.to_csv())[1][8] == "Jürgen Müller & Söhne <ÄÖÜ> 😀"
    root = ET.fromstring(m.to_camt053())
    assert "Jürgen Müller & Söhne <ÄÖÜ> 😀" in [e.text for e in root.iter()]


# The characters that XML 1.0 cannot hold, not even as references. camt.053
# writes each as U+FFFD, in element text and attributes alike, so the document
# stays well-formed; JSON keeps the exact character.
NOT_XML_CHARS = [chr(c) for c in range(0x20) if chr(c) not in "\t\n\r"] + ["\ufffe", "\uffff"]


@pytest.mark.parametrize("c", NOT_XML_CHARS, ids=lambda c: f"U+{ord(c):04X}")
def test_camt_writes_replacement_character_for_what_xml_cannot_hold(c):
    currency = c if len(c.encode()) == 3 else f"E{c}R"  # three bytes
    m = vardel.MT940(statement(":61:240102D1,00NTRFX", f":86:/NAME/Max{c}Muster/REMI/Rent{c}May",
                               opening=f"C240101{currency}1,00", closing=f"C240131{currency}1,00"))
    root = ET.fromstring(m.to_camt053())
    shown = currency.replace(c, "\ufffd")
    assert root.findtext(f".//{CAMT_NS}Acct/{CAMT_NS}Ccy") == shown
    assert [a.get("Ccy") for a in root.iter(f"{CAMT_NS}Amt")] == [shown] * 3
    assert root.findtext(f".//{CAMT_NS}Nm") == "Max\ufffdMuster"
    assert root.findtext(f".//{CAMT_NS}Ustrd") == "Rent\ufffdMay"
    (stmt,) = json.loads(m.to_json())
    assert (stmt["currency"], stmt["transactions"][0]["structuredDetails"]["NAME"]) == \
        (currency, f"Max{c}Muster")


# Exports of 8 MiB or more reach Python by their own path: the str is
# allocated first and the text decoded into it. Each name below needs another
# str storage kind (ASCII, Latin-1, the BMP, the astral planes); CSV output is
# never narrower than the BMP because of its byte-order mark.
@pytest.mark.parametrize("name", ["Muster Bau GmbH", "Jürgen Müller", "Zahlung 5 €",
                                  "Noten 𝄞 und 😀"])
@pytest.mark.parametrize("method", ["to_json", "to_csv", "to_camt053"])
def test_large_exports_are_small_ones_repeated(method, name):
    lines = [":61:240102C1,00NTRFX", ":86:/NAME/" + " ".join([name] * 12)] * 20
    one = statement(*lines)

    def export(copies):
        return getattr(vardel.MT940(one * copies), method)()

    # Statements export one after another, so the export of n copies is the
    # export of one with the difference of two and one inserted n - 1 times.
    small, pair = export(1), export(2)
    at = len(os.path.commonprefix([small, pair]))
    insert = pair[at:at + len(pair) - len(small)]
    copies = (9 << 20) // len(insert.encode("utf-8")) + 2
    large = export(copies)
    assert len(large.encode("utf-8")) >= 8 << 20
    expected = small[:at] + insert * (copies - 1) + small[at:]
    same = large == expected  # a plain bool: a diff of megabytes would take minutes
    assert same, f"first difference at {len(os.path.commonprefix([large, expected]))}"


@pytest.mark.parametrize("method", ["to_json", "to_csv", "to_camt053"])
def test_exports_reject_arguments(mixed, method):
    with pytest.raises(TypeError):
        getattr(mixed, method)(1)
    with pytest.raises(TypeError):
        getattr(mixed, method)(x=1)


@pytest.mark.parametrize("name", ["account", "currency", "opening_balance", "closing_balance",
                                  "resolver_used", "transactions"])
def test_properties_check_receiver(name):
    with pytest.raises(TypeError):
        vars(vardel.MT940)[name].__get__(object())
    with pytest.raises(TypeError):
        vardel.MT940.to_json(object())


def test_sample_file(sample_text):
    m = vardel.MT940(sample_text)
    assert len(m) == 4
    assert m.account == "DE89370400440532013000"
    assert (m.opening_balance, m.closing_balance) == (12500.0, 13817.4)
    assert [t.debit_credit for t in m.transactions] == ["D", "C", "D", "RD"]
    assert round(m.opening_balance + sum(t.amount for t in m.transactions), 2) == m.closing_balance
    assert [t.counterparty for t in m.transactions] == [
        "Muster Bau GmbH", "Max Mustermann", "Hausverwaltung Koenig", ""]
    assert len(read_csv(m.to_csv())) == 5
