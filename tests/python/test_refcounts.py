"""Reference and memory leaks: every entry, repeated many times, on its
success and error paths. Release builds have no sys.gettotalrefcount, so the
checks watch the reference counts of the shared singletons and class objects
and the Python heap (tracemalloc); the C++ side is checked through the
process's peak resident size with bounds far from the normal figures."""

import gc
import os
import resource
import sys
import tracemalloc

import pytest

import vardel
from conftest import EMPTY_FIRST, MIXED, statement

REPEAT = 20_000
HEAP_BOUND = 64 * 1024  # bytes; a leaked float per call alone gives ~480 KiB


def _watched():
    return (sys.getrefcount(None), sys.getrefcount(True), sys.getrefcount(False),
            sys.getrefcount(vardel.MT940), sys.getrefcount(vardel.Transaction))


def _swallow(call, exc):
    def run():
        try:
            call()
        except exc:
            pass
    return run


MT = vardel.MT940(MIXED)
EMPTY = vardel.MT940(EMPTY_FIRST)
TXS = MT.transactions
TX_ATTRS = ["value_date", "entry_date", "debit_credit", "amount", "is_credit", "is_debit",
            "is_reversal", "transaction_type", "customer_reference", "bank_reference",
            "details", "structured_details", "counterparty", "counter_iban", "purpose"]

ENTRIES = [
    pytest.param(lambda: len(MT), id="len"),
    pytest.param(lambda: bool(EMPTY), id="bool"),
    pytest.param(lambda: MT.account, id="account"),
    pytest.param(lambda: MT.currency, id="currency"),
    pytest.param(lambda: MT.opening_balance, id="opening_balance"),
    pytest.param(lambda: MT.closing_balance, id="closing_balance"),
    pytest.param(lambda: MT.resolver_used, id="resolver_used"),
    pytest.param(lambda: MT.transactions, id="transactions"),
    pytest.param(lambda: EMPTY.transactions, id="transactions-empty"),
    pytest.param(lambda: MT.to_json(), id="to_json"),
    pytest.param(lambda: MT.to_csv(), id="to_csv"),
    pytest.param(lambda: MT.to_camt053(), id="to_camt053"),
    pytest.param(lambda: [getattr(t, a) for t in TXS for a in TX_ATTRS], id="transaction-props"),
    pytest.param(lambda: [t.signed_amount() for t in TXS], id="signed_amount"),
    pytest.param(lambda: vardel.MT940(MIXED), id="construct"),
    pytest.param(lambda: vardel.MT940(MIXED, "gvc"), id="construct-resolver"),
    pytest.param(lambda: vardel.MT940(text=MIXED, resolver=None), id="construct-keywords"),
    pytest.param(_swallow(lambda: vardel.MT940(""), ValueError), id="error-parse"),
    pytest.param(_swallow(lambda: vardel.MT940(b""), TypeError), id="error-conversion"),
    pytest.param(_swallow(lambda: vardel.MT940(MIXED, 5), TypeError), id="error-resolver"),
    pytest.param(_swallow(lambda: vardel.MT940("\udcff"), UnicodeEncodeError), id="error-surrogate"),
    pytest.param(_swallow(lambda: vardel.MT940(MIXED, None, 1), TypeError), id="error-positional"),
    pytest.param(_swallow(lambda: vardel.MT940(MIXED, x=1), TypeError), id="error-keyword"),
    pytest.param(_swallow(lambda: vardel.MT940(MIXED, **{"\udcff": 1}), TypeError),
                 id="error-surrogate-keyword"),
    pytest.param(_swallow(lambda: vardel.MT940(MIXED, text=MIXED), TypeError), id="error-multiple"),
    pytest.param(_swallow(lambda: vardel.MT940(), TypeError), id="error-missing"),
    pytest.param(_swallow(lambda: vardel.Transaction(1), TypeError), id="error-transaction-new"),
    pytest.param(_swallow(lambda: MT.to_csv(1), TypeError), id="error-method-argument"),
]


@pytest.mark.parametrize("entry", ENTRIES)
def test_no_reference_leak(entry):
    repeat = REPEAT if "construct" not in entry.__code__.co_names else REPEAT // 4
    for _ in range(200):
        entry()
    gc.collect()
    tracemalloc.start()
    try:
        counts_before = _watched()
        heap_before = tracemalloc.get_traced_memory()[0]
        for _ in range(repeat):
            entry()
        gc.collect()
        heap_after = tracemalloc.get_traced_memory()[0]
        counts_after = _watched()
    finally:
        tracemalloc.stop()
    assert counts_after == counts_before
    assert heap_after - heap_before < HEAP_BOUND


def _maxrss_kib():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss


# AddressSanitizer keeps freed memory in quarantine, so RSS says nothing there.
@pytest.mark.skipif(bool(os.environ.get("VARDEL_SANITIZED")),
                    reason="RSS is meaningless under AddressSanitizer")
def test_parsed_data_is_released():
    line = (":61:2401020102D1234,56NTRFREF-{0}//BANK-{0}\n"
            ":86:/EREF/E2E-{0}/NAME/Some Counterparty GmbH/REMI/Invoice {0}\n")
    text = statement(*"".join(line.format(i) for i in range(10_000)).splitlines())
    gc.collect()
    start = _maxrss_kib()
    m = vardel.MT940(text)
    txs = m.transactions
    del m, txs
    gc.collect()
    one_object = max(_maxrss_kib() - start, 1024)
    peak = _maxrss_kib()
    for _ in range(20):
        m = vardel.MT940(text)
        txs = m.transactions
        del m, txs
    gc.collect()
    # Twenty leaked copies would add some twenty times one object's size.
    assert _maxrss_kib() - peak < 8 * one_object
