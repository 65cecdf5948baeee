"""MT940(text, resolver=None): argument binding, resolver names, parse errors,
and the release of the interpreter lock during the parse."""

import os
import sys
import threading
import time

import pytest

import vardel
from conftest import MIXED, run_script, statement

NEW = "MT940.__new__()"
T = MIXED

# A narrative of German sub-fields: split into codes by the GVC decoder, kept
# whole by the chains that lack it.
GVC_TEXT = statement(":61:240102C1,00NTRFX", ":86:166?20Rent?32Max")


class StrSub(str):
    pass


@pytest.mark.parametrize("args, kwargs, message", [
    pytest.param((T, "auto", 3), {}, f"{NEW} takes from 1 to 2 positional arguments but 3 were given",
                 id="three-positional"),
    pytest.param((T, "auto", 3, 4), {"bogus": 1},
                 f"{NEW} takes from 1 to 2 positional arguments but 4 were given",
                 id="four-positional-and-bad-keyword"),
    pytest.param((T,), {"Resolver": "gvc"}, f"{NEW} got an unexpected keyword argument 'Resolver'",
                 id="keyword-case-sensitive"),
    pytest.param((), {"texts": T}, f"{NEW} got an unexpected keyword argument 'texts'",
                 id="unknown-keyword-before-missing-text"),
    pytest.param((T,), {"\udcff": 1}, f"{NEW} got an unexpected keyword argument '\ufffd'",
                 id="keyword-lone-surrogate"),
    pytest.param((T,), {"a\ud83d\ude00b": 1},
                 f"{NEW} got an unexpected keyword argument 'a\ufffd\ufffdb'",
                 id="keyword-surrogate-pair-chars"),
    pytest.param((T,), {"\u00e9t\u00e9": 1}, f"{NEW} got an unexpected keyword argument '\u00e9t\u00e9'",
                 id="keyword-non-ascii"),
    pytest.param((T,), {"text": T}, f"{NEW} got multiple values for argument 'text'",
                 id="text-twice"),
    pytest.param((T, "auto"), {"resolver": "gvc"},
                 f"{NEW} got multiple values for argument 'resolver'", id="resolver-twice"),
    pytest.param((), {}, f"{NEW} missing 1 required positional argument: 'text'", id="no-arguments"),
    pytest.param((), {"resolver": "auto"}, f"{NEW} missing 1 required positional argument: 'text'",
                 id="only-resolver"),
    pytest.param((b"x",), {}, "argument 'text': 'bytes' object cannot be converted to 'PyString'",
                 id="text-bytes"),
    pytest.param((None,), {}, "argument 'text': 'NoneType' object cannot be converted to 'PyString'",
                 id="text-none"),
    pytest.param((1, 2), {}, "argument 'text': 'int' object cannot be converted to 'PyString'",
                 id="both-wrong-names-text"),
    pytest.param((T, 1), {}, "argument 'resolver': 'int' object cannot be converted to 'PyString'",
                 id="resolver-int"),
    pytest.param((T,), {"resolver": b"gvc"},
                 "argument 'resolver': 'bytes' object cannot be converted to 'PyString'",
                 id="resolver-bytes-keyword"),
    pytest.param((StrSub.__mro__,), {}, "argument 'text': 'tuple' object cannot be converted to 'PyString'",
                 id="text-tuple"),
])
def test_binding_errors(args, kwargs, message):
    with pytest.raises(TypeError) as info:
        vardel.MT940(*args, **kwargs)
    assert info.type is TypeError
    assert info.value.args == (message,)


def test_keyword_pass_follows_dict_order():
    with pytest.raises(TypeError, match="multiple values for argument 'text'"):
        vardel.MT940(T, **{"text": T, "zzz": 1})
    with pytest.raises(TypeError, match="unexpected keyword argument 'zzz'"):
        vardel.MT940(T, **{"zzz": 1, "text": T})


def test_conversion_error_qualname_of_nested_class():
    class Outer:
        class Inner:
            pass
    with pytest.raises(TypeError) as info:
        vardel.MT940(Outer.Inner())
    assert str(info.value) == ("argument 'text': 'test_conversion_error_qualname_of_nested_class."
                               "<locals>.Outer.Inner' object cannot be converted to 'PyString'")


@pytest.mark.parametrize("args", [
    pytest.param((b"x",), id="text"),
    pytest.param((T, 1.5), id="resolver"),
])
def test_conversion_error_chains_nothing(args):
    try:
        raise KeyError("handled while constructing")
    except KeyError:
        with pytest.raises(TypeError) as info:
            vardel.MT940(*args)
    assert info.value.__cause__ is None
    assert info.value.__suppress_context__ is True


@pytest.mark.parametrize("args", [
    pytest.param(("\udcff",), id="text"),
    pytest.param((T, "gv\ud800c"), id="resolver"),
    pytest.param(("\udcff", "\udcff"), id="both"),
])
def test_lone_surrogates_raise_unicode_encode_error(args):
    with pytest.raises(UnicodeEncodeError) as info:
        vardel.MT940(*args)
    assert info.value.encoding == "utf-8"
    assert info.value.reason == "surrogates not allowed"


# Python code that runs inside the keyword pass clears the keyword dict, which
# holds the only reference to the key; the pass must hold its own. Each script
# prints whether the call raised the unexpected-keyword TypeError with the
# whole key in its message.
#   gc-bytes-key: the scheduled collection that PyObject_Str runs (3.12 on)
#     calls back while the key, a bytes object, awaits its str().
#   gc-surrogate-key: the UnicodeEncodeError of a key with lone surrogates
#     starts a collection (3.11); PyErr_Clear then drops the error's reference.
#   signal: a SIGALRM handler runs in PyObject_Str's check for signals. The
#     debug allocator overwrites freed memory, so reading the freed key
#     crashes instead of reading its old bytes.
# The two gc scripts stay apart: the allocations before the call decide
# whether the collection falls inside it, and they are what makes each one
# reach the fault on its interpreter.
KEYWORD_DICT_CLEARED = {
    "gc-bytes-key": """
import gc, sys
sys.path.insert(0, sys.argv[1])
import vardel
def cb(phase, info):
    if phase == "start":
        for o in gc.get_objects():
            if type(o) is dict and any(type(k) is bytes for k in o):
                o.clear()
gc.callbacks.append(cb); gc.set_threshold(1)
try:
    vardel.MT940("x", **{bytes(1 << 20): [{1}, {2}, {3}]})
except TypeError as e:
    print(str(e) == "MT940.__new__() got an unexpected keyword argument '%r'" % bytes(1 << 20))
""",
    "gc-surrogate-key": """
import gc, sys
sys.path.insert(0, sys.argv[1])
import vardel
class Mark: pass
def cb(phase, info):
    if phase == "start":
        for o in gc.get_objects():
            if type(o) is dict and any(type(v) is Mark for v in o.values()):
                o.clear()
gc.callbacks.append(cb); gc.set_threshold(1)
try:
    vardel.MT940("x", **{chr(0xD800) * 100000: Mark(), "z": {1}})
except TypeError as e:
    shown = "\\ufffd" * 100000
    print(str(e) == "MT940.__new__() got an unexpected keyword argument '%s'" % shown)
""",
    "signal": """
import gc, signal, sys, time
sys.path.insert(0, sys.argv[1])
import vardel

class Key:  # gc tracks it, and so the one-entry keyword dict it keys
    pass

cleared = 0

def clear_keyword_dict(signum, frame):
    global cleared
    for o in gc.get_objects():
        if type(o) is dict and len(o) == 1 and type(next(iter(o))) is Key:
            o.clear()
            cleared += 1

gc.freeze()  # the handler scans only what is made from here on
signal.signal(signal.SIGALRM, clear_keyword_dict)
signal.setitimer(signal.ITIMER_REAL, 0.0005, 0.0005)
prefix = "MT940.__new__() got an unexpected keyword argument '<__main__.Key object at 0x"
wrong = []
end = time.monotonic() + 20
while cleared < 50 and time.monotonic() < end:
    try:
        vardel.MT940("x", **{Key(): 1})
    except TypeError as e:
        if not (str(e).startswith(prefix) and str(e).endswith(">'")):
            wrong.append(str(e))
signal.setitimer(signal.ITIMER_REAL, 0)
print(cleared > 0 and wrong == [])
""",
}


@pytest.mark.parametrize("form", KEYWORD_DICT_CLEARED)
def test_keyword_dict_cleared_inside_the_keyword_pass(form):
    run = run_script(KEYWORD_DICT_CLEARED[form], env={"PYTHONMALLOC": "debug"})
    assert (run.returncode, run.stdout) == (0, "True\n"), run.stderr[-2000:]


@pytest.mark.parametrize("call, expected", [
    pytest.param(lambda: vardel.MT940(T), "auto", id="omitted"),
    pytest.param(lambda: vardel.MT940(T, None), "auto", id="none"),
    pytest.param(lambda: vardel.MT940(T, resolver=None), "auto", id="none-keyword"),
    pytest.param(lambda: vardel.MT940(T, "gvc"), "gvc", id="gvc"),
    pytest.param(lambda: vardel.MT940(text=T, resolver="swift"), "swift", id="both-keywords"),
    pytest.param(lambda: vardel.MT940(resolver="swift", text=T), "swift", id="keywords-reversed"),
    pytest.param(lambda: vardel.MT940(T, ""), "", id="empty"),
    pytest.param(lambda: vardel.MT940(T, "GVC"), "GVC", id="capitals"),
    pytest.param(lambda: vardel.MT940(T, " gvc"), " gvc", id="leading-space"),
    pytest.param(lambda: vardel.MT940(T, "None"), "None", id="str-None"),
    pytest.param(lambda: vardel.MT940(T, "german-gvc"), "german-gvc", id="decoder-name"),
    pytest.param(lambda: vardel.MT940(T, "r\u00e9sum\u00e9 \U0001F600"), "r\u00e9sum\u00e9 \U0001F600",
                 id="non-ascii"),
    pytest.param(lambda: vardel.MT940(StrSub(T), StrSub("angular")), "angular", id="str-subclass"),
])
def test_resolver_used(call, expected):
    used = call().resolver_used
    assert used == expected
    assert type(used) is str


@pytest.mark.parametrize("resolver, expected", [
    pytest.param(None, {"gvc": "166", "20": "Rent", "32": "Max", "REMI_COMBINED": "Rent"},
                 id="auto"),
    pytest.param("gvc", {"gvc": "166", "20": "Rent", "32": "Max", "REMI_COMBINED": "Rent"},
                 id="gvc"),
    pytest.param("GVC", {"gvc": "166", "20": "Rent", "32": "Max", "REMI_COMBINED": "Rent"},
                 id="unknown-name-is-auto"),
    pytest.param("", {"gvc": "166", "20": "Rent", "32": "Max", "REMI_COMBINED": "Rent"},
                 id="empty-is-auto"),
    pytest.param("swift", {"detail": "166?20Rent?32Max"}, id="swift"),
    pytest.param("angular", {"detail": "166?20Rent?32Max"}, id="angular"),
])
def test_resolver_selects_chain(resolver, expected):
    tx = vardel.MT940(GVC_TEXT, resolver).transactions[0]
    assert tx.structured_details == expected


def test_angular_chain_decodes_angular_narrative():
    text = statement(":61:240102C1,00NTRFX", ":86:NTRF<20Rent<32John Doe")
    for resolver in ("angular", "auto", "gvc"):
        details = vardel.MT940(text, resolver).transactions[0].structured_details
        if resolver == "gvc":
            assert details == {"detail": "NTRF<20Rent<32John Doe"}
        else:
            assert details == {"tx_code": "NTRF", "20": "Rent", "32": "John Doe"}


def test_str_subclass_text_is_accepted():
    m = vardel.MT940(StrSub(T))
    assert m.account == "DE89370400440532013000"


@pytest.mark.parametrize("text, message", [
    pytest.param("", "Input contains no MT940 data", id="empty"),
    pytest.param("hello\nworld\n", "Input contains no MT940 data", id="untagged"),
    pytest.param(":25:ACC\n:28C:1\n", "Input contains no MT940 data", id="no-20"),
    pytest.param(":20:REF1\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240101EUR1,00\n",
                 "Missing mandatory tag :25: (REF1)", id="no-account"),
    pytest.param(":20:REF1\n:25:\n:28C:1\n:60F:C240101EUR1,00\n:62F:C240101EUR1,00\n",
                 "Missing mandatory tag :25: (REF1)", id="empty-account"),
    pytest.param(":20:R\n:25:A\n:28C:1\n:60F:C240101EUR1,00\n:61:2401010101D10,00NTRFREF\n",
                 "Missing mandatory tag :62F: (R)", id="ends-after-61"),
    pytest.param(statement(opening="C240101"),
                 "Invalid format in tag balance: 'C240101': too short", id="short-balance"),
    pytest.param(statement(":61:240230C1,00NTRFX"),
                 "Invalid date '240230' in tag (date field)", id="bad-value-date"),
    pytest.param(statement(closing="C240131EUR1234,56-}"),
                 "Invalid amount '1234,56-}' in tag (amount field)", id="block-trailer"),
])
def test_parse_errors_raise_value_error(text, message):
    with pytest.raises(ValueError) as info:
        vardel.MT940(text)
    assert info.type is ValueError
    assert info.value.args == (message,)


def test_parse_error_does_not_hide_later_good_calls():
    with pytest.raises(ValueError):
        vardel.MT940("")
    assert len(vardel.MT940(T)) == 5


def _big_statement(transactions):
    line = (":61:2401020102D1234,56NTRFREF-{0}//BANK-{0}\n"
            ":86:/EREF/E2E-{0}/NAME/Some Counterparty GmbH/IBAN/DE02120300000000202051"
            "/REMI/Invoice number {0} for services rendered in January\n")
    body = "".join(line.format(i) for i in range(transactions))
    return (":20:BIG\n:25:DE89370400440532013000\n:28C:1/1\n:60F:C240101EUR0,00\n"
            + body + ":62F:C240131EUR0,00\n")


def test_parse_releases_the_interpreter_lock():
    # About 200 bytes per transaction: a text of some 50 MB.
    text = _big_statement(250_000)
    counter = [0]
    seen = {}
    done = threading.Event()

    def parse():
        before = counter[0]
        result = vardel.MT940(text)
        seen["during"] = counter[0] - before
        seen["length"] = len(result)
        done.set()

    # With a huge switch interval the parsing thread is never forced to hand
    # over the lock: the main thread can only count while the constructor has
    # released it.
    old_interval = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    try:
        worker = threading.Thread(target=parse)
        worker.start()
        while not done.is_set():
            counter[0] += 1
            time.sleep(0.0005)  # hands the lock back so the parser can finish
        worker.join()
    finally:
        sys.setswitchinterval(old_interval)
    assert seen["length"] == 250_000
    assert seen["during"] > 0


# Runs with its address space capped a little above what it uses: the parse
# runs out of memory while the lock is released, then parses again uncapped.
OUT_OF_MEMORY = """
import resource, sys
sys.path.insert(0, sys.argv[1])
import vardel
text = (":20:R\\n:25:A\\n:28C:1\\n:60F:C240101EUR1,00\\n"
        + ":61:240102D1,00NTRFX\\n:86:x\\n" * 500_000 + ":62F:C240101EUR1,00\\n")
with open("/proc/self/statm") as statm:
    used = int(statm.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (used + 64 * 2**20, resource.RLIM_INFINITY))
try:
    vardel.MT940(text)
except MemoryError as e:
    print(type(e).__name__, e.args)
resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
print(len(vardel.MT940(text)))
"""


# AddressSanitizer reserves far more address space than any such cap.
@pytest.mark.skipif(bool(os.environ.get("VARDEL_SANITIZED")), reason="AddressSanitizer build")
@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_running_out_of_memory_in_the_parse_raises_memory_error():
    run = run_script(OUT_OF_MEMORY, timeout=300)
    assert (run.returncode, run.stdout) == (0, "MemoryError ()\n500000\n"), run.stderr


def test_parallel_constructions_agree():
    results = [None] * 4

    def work(i):
        results[i] = vardel.MT940(T, ("auto", "gvc", "swift", "angular")[i]).to_json()

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for i, resolver in enumerate(("auto", "gvc", "swift", "angular")):
        assert results[i] == vardel.MT940(T, resolver).to_json()
