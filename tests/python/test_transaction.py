"""Transaction objects: the fifteen properties, signed_amount() and lifetime."""

import gc
import math

import pytest

import vardel
from conftest import statement


def one(*lines, resolver=None):
    """The single transaction of a statement made of `lines`."""
    (tx,) = vardel.MT940(statement(*lines), resolver).transactions
    return tx


def sign(x):
    return math.copysign(1.0, x)


@pytest.mark.parametrize("line, mark, amount, is_credit, is_reversal", [
    pytest.param("240102D100,00NTRFX", "D", -100.0, False, False, id="debit"),
    pytest.param("240102C100,00NTRFX", "C", 100.0, True, False, id="credit"),
    pytest.param("240102RC100,00NTRFX", "RC", -100.0, False, True, id="reversal-of-credit"),
    pytest.param("240102RD100,00NTRFX", "RD", 100.0, True, True, id="reversal-of-debit"),
    pytest.param("240102D0,00NTRFX", "D", -0.0, False, False, id="zero-debit"),
    pytest.param("240102RC0,NTRFX", "RC", -0.0, False, True, id="zero-rc"),
    pytest.param("240102C0,00NTRFX", "C", 0.0, True, False, id="zero-credit"),
    pytest.param("240102RD0,00NTRFX", "RD", 0.0, True, True, id="zero-rd"),
    pytest.param("240102DR1234,5NTRFX", "D", -1234.5, False, False, id="funds-code"),
    pytest.param("240102C999999999999999,99NTRFX", "C", 999999999999999.99, True, False,
                 id="fifteen-digits"),
])
def test_marks_and_amounts(line, mark, amount, is_credit, is_reversal):
    tx = one(":61:" + line)
    assert tx.debit_credit == mark
    assert tx.amount == amount and sign(tx.amount) == sign(amount)
    assert tx.signed_amount() == amount and sign(tx.signed_amount()) == sign(amount)
    assert type(tx.amount) is float
    assert tx.is_credit is is_credit
    assert tx.is_debit is (not is_credit)
    assert tx.is_reversal is is_reversal


def test_signed_amount_rejects_arguments():
    tx = one(":61:240102C1,00NTRFX")
    with pytest.raises(TypeError):
        tx.signed_amount(1)


@pytest.mark.parametrize("line, value_date, entry_date", [
    pytest.param("2403090309C1,00NTRFX", "2024-03-09", "2024-03-09", id="both"),
    pytest.param("240309C1,00NTRFX", "2024-03-09", None, id="no-entry-date"),
    pytest.param("2312300102C1,00NTRFX", "2023-12-30", "2024-01-02", id="entry-next-year"),
    pytest.param("8001010101C1,00NTRFX", "1980-01-01", "1980-01-01", id="year-1980"),
    pytest.param("7912310101C1,00NTRFX", "2079-12-31", "2080-01-01", id="year-2079"),
])
def test_dates(line, value_date, entry_date):
    tx = one(":61:" + line)
    assert tx.value_date == value_date
    assert tx.entry_date == entry_date


@pytest.mark.parametrize("line, customer, bank", [
    pytest.param("240102C1,00NTRFREF-1//BANK 7", "REF-1", "BANK 7", id="present"),
    pytest.param("240102C1,00NTRFREF-1", "REF-1", None, id="absent"),
    pytest.param("240102C1,00NTRFREF-1//", "REF-1", "", id="present-empty"),
    pytest.param("240102C1,00NTRF//B", "", "B", id="no-customer-reference"),
])
def test_references(line, customer, bank):
    tx = one(":61:" + line)
    assert tx.transaction_type == "NTRF"
    assert tx.customer_reference == customer
    assert tx.bank_reference == bank


NO_NARRATIVE = (":61:240102C1,00NTRFX",)

# (lines, structured_details, counterparty, counter_iban, purpose)
NARRATIVES = [
    pytest.param(NO_NARRATIVE, None, "", "", "", id="no-narrative"),
    pytest.param((":61:240102C1,00NTRFX", ":86:Card payment, Baeckerei Schmidt"),
                 {"detail": "Card payment, Baeckerei Schmidt"}, "", "",
                 "Card payment, Baeckerei Schmidt", id="free-text"),
    pytest.param((":61:240102C1,00NTRFX",
                  ":86:/EREF/E-1/REMI/Invoice 7 /NAME/Max Muster/IBAN/DE021203"),
                 {"EREF": "E-1", "REMI": "Invoice 7", "NAME": "Max Muster", "IBAN": "DE021203"},
                 "Max Muster", "DE021203", "Invoice 7", id="swift"),
    pytest.param((":61:240102C1,00NTRFX", ":86:/EREF/E-1"), {"EREF": "E-1"}, "", "", "E-1",
                 id="swift-eref-only"),
    pytest.param((":61:240102C1,00NTRFX",
                  ":86:166?00GUTSCHRIFT?20EREF+123?21SVWZ+Miete ?22Januar?30BANKDEFF"
                  "?31DE00123?32Max Muster?33GmbH"),
                 {"gvc": "166", "00": "GUTSCHRIFT", "20": "EREF+123", "21": "SVWZ+Miete",
                  "22": "Januar", "30": "BANKDEFF", "31": "DE00123", "32": "Max Muster",
                  "33": "GmbH", "REMI_COMBINED": "EREF+123 SVWZ+Miete Januar"},
                 "Max Muster GmbH", "DE00123", "EREF+123 SVWZ+Miete Januar", id="german"),
    pytest.param((":61:240102C1,00NTRFX", ":86:NTRF<20Rent<21 May<32John Doe"),
                 {"tx_code": "NTRF", "20": "Rent", "21": "May", "32": "John Doe"},
                 "John Doe", "", "Rent May", id="angular"),
    pytest.param((":61:240102C1,00NTRFX", ":86:NTRF<00x<30GENODEF1"),
                 {"tx_code": "NTRF", "00": "x", "30": "GENODEF1"}, "", "GENODEF1", "",
                 id="angular-no-purpose"),
]


@pytest.mark.parametrize("lines, details, counterparty, iban, purpose", NARRATIVES)
def test_narratives(lines, details, counterparty, iban, purpose):
    tx = one(*lines)
    assert tx.structured_details == details
    assert tx.counterparty == counterparty
    assert tx.counter_iban == iban
    assert tx.purpose == purpose
    assert tx.details == (lines[1][4:] if len(lines) > 1 else "")


def test_purpose_falls_back_to_details_only_without_map():
    # Same text; only the map makes the difference: there is no :86:, so
    # details is empty and purpose is the details text.
    tx = one(*NO_NARRATIVE)
    assert tx.structured_details is None
    assert tx.purpose == tx.details == ""


def test_structured_details_is_a_new_dict_each_time():
    tx = one(":61:240102C1,00NTRFX", ":86:/EREF/E-1/NAME/Max")
    first = tx.structured_details
    second = tx.structured_details
    assert first is not second
    assert first == second == {"EREF": "E-1", "NAME": "Max"}
    del first["NAME"]
    first["x"] = "y"
    assert tx.structured_details == {"EREF": "E-1", "NAME": "Max"}
    assert tx.counterparty == "Max"


def test_narrative_over_several_lines():
    tx = one(":61:240102C1,00NTRFX", ":86:/EREF/E-1/REMI/Rent for", " May")
    assert tx.details == "/EREF/E-1/REMI/Rent for May"
    assert tx.purpose == "Rent for May"


def test_transactions_outlive_their_statement():
    m = vardel.MT940(statement(":61:2401020102D12,34NTRFREF//B", ":86:/NAME/Max/REMI/Rent",
                               ":61:240103C5,00NTRFX"))
    txs = m.transactions
    expected = [(t.value_date, t.entry_date, t.amount, t.bank_reference, t.details,
                 t.structured_details, t.counterparty, t.purpose) for t in txs]
    del m
    gc.collect()
    # Allocate and free a few statements so that freed memory gets reused.
    for _ in range(5):
        vardel.MT940(statement(":61:240102C9,99NTRFOTHER", ":86:/NAME/Someone Else"))
    got = [(t.value_date, t.entry_date, t.amount, t.bank_reference, t.details,
            t.structured_details, t.counterparty, t.purpose) for t in txs]
    assert got == expected
    assert got[0][:4] == ("2024-01-02", "2024-01-02", -12.34, "B")


def test_all_properties_have_expected_types(mixed_transactions):
    for tx in mixed_transactions:
        assert type(tx.value_date) is str and len(tx.value_date) == 10
        assert tx.entry_date is None or type(tx.entry_date) is str
        for name in ("debit_credit", "transaction_type", "customer_reference", "details",
                     "counterparty", "counter_iban", "purpose"):
            assert type(getattr(tx, name)) is str, name
        for name in ("is_credit", "is_debit", "is_reversal"):
            assert type(getattr(tx, name)) is bool, name
        assert tx.amount == tx.signed_amount()
        assert sign(tx.amount) == sign(tx.signed_amount())


@pytest.mark.parametrize("name", [
    "value_date", "entry_date", "debit_credit", "amount", "is_credit", "is_debit",
    "is_reversal", "transaction_type", "customer_reference", "bank_reference", "details",
    "structured_details", "counterparty", "counter_iban", "purpose",
])
def test_properties_are_read_only(mixed_transactions, name):
    tx = mixed_transactions[0]
    before = getattr(tx, name)
    with pytest.raises(AttributeError):
        setattr(tx, name, before)
    with pytest.raises(AttributeError):
        delattr(tx, name)
    assert getattr(tx, name) == before
