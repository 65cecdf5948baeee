"""Many threads constructing and reading MT940 objects at once get exactly the
results of one thread: the parse runs with the interpreter lock released and
shares nothing between calls, and the objects never change once built."""

from __future__ import annotations

import threading

import pytest

import vardel
from conftest import run_script

THREADS = 8
ITERATIONS = 20
RESOLVERS = ["auto", "swift", "gvc", "angular"]

NARRATIVES = [
    ":86:/EREF/E2E-{i}/NAME/Anna Schmidt/IBAN/DE0212030000000020{i:04d}/REMI/Rechnung\n {i}",
    ":86:166?00GUTSCHRIFT?20EREF+{i}?21SVWZ+Miete Januar?30BANKDEFF\n?31DE00123{i}?32Jürgen Müller",
    ":86:NTRF<20Rent {i}<21May<32John Doe<31NL91ABNA0417164300",
    ":86:Kartenzahlung SUPERMARKT {i} Berlin\n 2024-01-02",
]
MARKS = ["D", "C", "RD", "RC"]


def make_text(statements: int = 4, per_statement: int = 150) -> str:
    lines = []
    for s in range(statements):
        lines += [f":20:STMT-{s}", f":25:DE89370400440532013{s:03d}", f":28C:{s + 1}/1",
                  f":60F:C24010{s + 1}EUR{1000 + s},00"]
        for k in range(per_statement):
            i = s * per_statement + k
            entry = f"01{(i % 28) + 1:02d}" if i % 3 else ""
            lines.append(f":61:24010{s + 1}{entry}{MARKS[i % 4]}{i % 997},{i % 100:02d}"
                         f"NTRFREF{i}//B{i}")
            if i % 5 == 0:
                lines.append(f"/OCMT/EUR{i},00/")
            lines += NARRATIVES[i % 4].format(i=i).split("\n")
        lines += [f":62F:D24013{s % 2}EUR{s},50", ":64:C240131EUR1,00", ":86:info äöü"]
    return "\r\n".join(lines) + "\r\n"


def snapshot(mt) -> tuple:
    """Everything an MT940 object shows, as plain values."""
    txs = tuple(
        (t.value_date, t.entry_date, t.debit_credit, t.amount, t.signed_amount(), t.is_credit,
         t.is_debit, t.is_reversal, t.transaction_type, t.customer_reference, t.bank_reference,
         t.details, tuple(sorted((t.structured_details or {}).items())), t.counterparty,
         t.counter_iban, t.purpose)
        for t in mt.transactions)
    return (len(mt), mt.account, mt.currency, mt.opening_balance, mt.closing_balance,
            mt.resolver_used, txs, mt.to_json(), mt.to_csv(), mt.to_camt053())


def run_threads(work) -> None:
    """Runs work(thread_index) on THREADS threads started together; re-raises
    the first failure."""
    barrier = threading.Barrier(THREADS)
    errors: list[BaseException] = []

    def body(index: int) -> None:
        try:
            barrier.wait()
            work(index)
        except BaseException as e:  # noqa: BLE001 - re-raised in the main thread
            errors.append(e)

    threads = [threading.Thread(target=body, args=(i,)) for i in range(THREADS)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]


@pytest.fixture(scope="module")
def text() -> str:
    return make_text()


@pytest.fixture(scope="module")
def expected(text) -> dict:
    return {r: snapshot(vardel.MT940(text, r)) for r in RESOLVERS}


def test_threads_constructing_at_once_match_one_thread(text, expected):
    assert len(expected["auto"][6]) == 150
    # Even threads share one str object, odd ones each parse a copy of their own.
    copies = [text if i % 2 == 0 else "".join([text[:1], text[1:]]) for i in range(THREADS)]
    mismatches = []

    def work(index: int) -> None:
        for k in range(ITERATIONS):
            resolver = RESOLVERS[(index + k) % len(RESOLVERS)]
            if snapshot(vardel.MT940(copies[index], resolver)) != expected[resolver]:
                mismatches.append((index, k, resolver))

    run_threads(work)
    assert mismatches == []


def test_threads_reading_one_object_match_one_thread(text, expected):
    mt = vardel.MT940(text)
    mismatches = []

    def work(index: int) -> None:
        for k in range(ITERATIONS):
            if snapshot(mt) != expected["auto"]:
                mismatches.append((index, k))

    run_threads(work)
    assert mismatches == []


def test_threads_failing_at_once_raise_the_same_error(text):
    bad = text.replace(":62F:D240131EUR1,50", ":62F:D240131EUR1,50-}", 1)
    assert bad != text
    with pytest.raises(ValueError) as one:
        vardel.MT940(bad)
    messages = []

    def work(index: int) -> None:
        for _ in range(ITERATIONS):
            try:
                vardel.MT940(bad, RESOLVERS[index % len(RESOLVERS)])
            except ValueError as e:
                messages.append(str(e))

    run_threads(work)
    assert messages == [str(one.value)] * (THREADS * ITERATIONS)
    assert str(one.value) == "Invalid amount '1,50-}' in tag (amount field)"


def test_threads_dropping_large_objects_at_once_match_one_thread():
    # Objects of a few thousand transactions are freed with the interpreter
    # lock released: other threads construct, read and free meanwhile.
    large = make_text(statements=2, per_statement=1500)
    one = vardel.MT940(large)
    want = (len(one), one.to_csv(), one.transactions[-1].signed_amount())
    del one
    mismatches = []

    def work(index: int) -> None:
        for k in range(4):
            mt = vardel.MT940(large)
            kept = mt.transactions[-1]
            got = (len(mt), mt.to_csv())
            del mt
            if got + (kept.signed_amount(),) != want:
                mismatches.append((index, k))

    run_threads(work)
    assert mismatches == []


# Another thread reaches the keyword dict of a running MT940(**kwargs) call
# through gc and clears it while the parse runs without the lock. The dict
# held the only reference to the text; the parse must hold its own.
CLEARED_KEYWORDS = """
import gc, sys, threading
sys.path.insert(0, sys.argv[1])
import vardel
key = sys.argv[2]

class S(str):  # gc tracks it, and so the keyword dict that holds it
    pass

cleared = threading.Event()

def clear_keyword_dict():
    while True:
        for o in gc.get_objects():
            if type(o) is dict and type(o.get(key)) is S:
                o.clear()  # drops the only reference to the text
                cleared.set()
                return

def text():
    return (":20:R\\n:25:A\\n:28C:1\\n:60F:C240101EUR1,00\\n"
            + ":61:240102D1,00NTRFX\\n:86:M\\u00fcller\\n" * 20_000 + ":62F:C240101EUR1,00\\n")

gc.freeze()  # the clearer scans only what is made from here on
threading.Thread(target=clear_keyword_dict, daemon=True).start()
if key == "resolver":
    m = vardel.MT940(**{"text": text(), "resolver": S("auto")})
else:
    m = vardel.MT940(**{"text": S(text())})
print(cleared.is_set(), m.account, len(m.transactions), m.transactions[-1].details)
"""


@pytest.mark.parametrize("key", ["resolver", "text"])
def test_keyword_dict_cleared_by_another_thread_during_the_parse(key):
    run = run_script(CLEARED_KEYWORDS, key)
    assert (run.returncode, run.stdout) == (0, "True A 20000 M\u00fcller\n"), run.stderr[-2000:]
