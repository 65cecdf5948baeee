"""A program whose daemon threads are inside vardel when its main thread ends
exits with the status the main thread gives.

While the interpreter finalizes it ends every daemon thread that asks for the
interpreter lock back, by unwinding that thread's stack. Such a thread may be
parsing or freeing a large MT940 object with the lock released, or running
Python code that vardel called, such as the __del__ of an object whose last
reference vardel drops; the unwind must pass through vardel's frames instead
of aborting the whole process.
"""

from __future__ import annotations

import textwrap

import pytest

from conftest import run_script

RUNS = 3

# Each script gets the directory of the module under test as its argument and
# ends its main thread while four daemon threads are inside vardel.
PREAMBLE = """
import atexit, sys, threading, time
sys.path.insert(0, sys.argv[1])
import vardel
text = (":20:R\\n:25:A\\n:28C:1\\n:60F:C240101EUR1,00\\n"
        + ":61:240102D1,00NTRFX\\n:86:x\\n" * 20000 + ":62F:C240101EUR1,00\\n")

# The interpreter flushes sys.stdout once it has begun to finalize. This one
# waits there, so that every thread still inside vardel asks for the lock back
# while the interpreter finalizes, however slow the build.
class LingeringStdout:
    def write(self, s):
        return len(s)
    def flush(self):
        time.sleep(1.0)
"""

SCRIPTS = {
    # Parses without the lock, then frees 20000 records without it.
    "parse": """
        def spin():
            while True:
                vardel.MT940(text)
        for _ in range(4):
            threading.Thread(target=spin, daemon=True).start()
        time.sleep(0.3)
        sys.stdout = LingeringStdout()
    """,
    # Only frees an object that the main thread built, without the lock. The
    # last exit function lets the threads go and returns once each has begun
    # to free, so that the interpreter finalizes while they are freeing.
    "free": """
        go, freeing = threading.Event(), threading.Semaphore(0)
        def drop(held):
            go.wait()
            freeing.release()
            held.pop()
        for _ in range(4):
            threading.Thread(target=drop, args=([vardel.MT940(text)],), daemon=True).start()
        @atexit.register
        def let_go():
            go.set()
            for _ in range(4):
                freeing.acquire()
        sys.stdout = LingeringStdout()
    """,
}

# vardel holds the last reference to what K.__str__ returns (the text of a
# keyword that is not a str, for the TypeError) and drops it, which runs
# Q.__del__. The tiny switch interval makes Python code ask for the lock back
# at every turn, a sleep asks for it when it wakes.
RELEASE = """
    sys.setswitchinterval(1e-6)
    class Q(str):
        def __del__(self):
            {work}
    class K:
        def __str__(self):
            return Q("k")
    def spin():
        while True:
            try:
                vardel.MT940("x", **{{K(): 1}})
            except TypeError:
                pass
    for _ in range(4):
        threading.Thread(target=spin, daemon=True).start()
    time.sleep(0.3)
    sys.stdout = LingeringStdout()
"""
SCRIPTS["release-sleeping"] = RELEASE.format(work="time.sleep(0.0002)")
SCRIPTS["release-busy"] = RELEASE.format(work="sum(range(2000))")


@pytest.mark.parametrize("name", SCRIPTS)
def test_daemon_threads_inside_vardel_leave_the_exit_status_alone(name):
    script = PREAMBLE + textwrap.dedent(SCRIPTS[name])
    for _ in range(RUNS):
        run = run_script(script, timeout=300)
        assert (run.returncode, "terminate" in run.stderr) == (0, False), run.stderr
