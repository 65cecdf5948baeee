#!/usr/bin/env python3
"""Throughput and memory benchmark of the vardel module on one large input.

Reports, on the same MT940 text in one run:
  - construction speed, MB/s of input for MT940(text) on one thread;
  - Transaction objects per second built by MT940.transactions;
  - MB/s of output for to_json, to_csv and to_camt053;
  - the speed-up of 8 threads constructing at once (each on its own str, the
    parse runs with the interpreter lock released) over one thread, for
    construction alone and for a construct-and-release loop;
  - the memory of one MT940 object relative to the UTF-8 size of its text,
    measured as RSS growth in a fresh interpreter (C++ allocations are
    invisible to tracemalloc): retained after construction, and peak during it.

    /usr/bin/python3 bench/run_bench.py --build-dir build-bench
    /usr/bin/python3 bench/run_bench.py --build-dir build-bench --input big.sta

Timings are the best of several rounds. Exit status 0 unless --strict is given
and a figure misses its target.
"""

from __future__ import annotations

import argparse
import ctypes
import gc
import json
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent

# figure name -> (target, "min" or "max")
TARGETS = {
    "construct_mb_s": (300.0, "min"),
    "thread_speedup_8": (6.0, "min"),
    "transactions_per_s": (2_000_000.0, "min"),
    "to_json_mb_s": (200.0, "min"),
    "to_csv_mb_s": (200.0, "min"),
    "to_camt053_mb_s": (200.0, "min"),
    "object_size_ratio": (4.0, "max"),
}


def find_module_dir(build_dir: Path) -> Path:
    candidates = sorted(build_dir.rglob("vardel*.so"))
    if not candidates:
        sys.exit(f"no vardel*.so under {build_dir}; build the module first (scripts/bench.sh)")
    return candidates[0].parent


def import_vardel(build_dir: Path):
    sys.path.insert(0, str(find_module_dir(build_dir)))
    import vardel  # noqa: PLC0415

    return vardel


def warm_utf8(text: str) -> None:
    """Makes the interpreter build and cache the UTF-8 form of `text` now,
    so that the first MT940(text) does not pay for (or allocate) it."""
    size = ctypes.c_ssize_t()
    fn = ctypes.pythonapi.PyUnicode_AsUTF8AndSize
    fn.argtypes = [ctypes.py_object, ctypes.POINTER(ctypes.c_ssize_t)]
    fn.restype = ctypes.c_void_p
    fn(text, ctypes.byref(size))


def fresh_copy(text: str) -> str:
    """A new str object with the same characters (no shared UTF-8 cache)."""
    copy = "".join([text[:1], text[1:]])
    assert copy is not text
    warm_utf8(copy)
    return copy


def best_time(fn, rounds: int, min_seconds: float = 0.0) -> tuple[float, int]:
    """Best seconds per call over `rounds` rounds; a round repeats the call
    until it took at least `min_seconds`. Returns (seconds per call, calls)."""
    best = float("inf")
    calls = 0
    for _ in range(rounds):
        n = 0
        start = time.perf_counter()
        while True:
            fn()
            n += 1
            elapsed = time.perf_counter() - start
            if elapsed >= min_seconds:
                break
        calls += n
        best = min(best, elapsed / n)
    return best, calls


def bench_threads(vardel, text: str, threads: int, per_thread: int, keep: bool) -> float:
    """Wall-clock seconds for `threads` threads each constructing
    `per_thread` times from its own copy of the text. With `keep` the objects
    stay alive until the clock has stopped, so only construction is timed;
    without it each object is released as soon as the next one replaces it
    (a large object is freed with the interpreter lock released)."""
    copies = [fresh_copy(text) for _ in range(threads)]
    barrier = threading.Barrier(threads + 1)
    errors: list[BaseException] = []
    kept: list[object] = []

    def work(t: str) -> None:
        try:
            barrier.wait()
            objects = []
            for _ in range(per_thread):
                obj = vardel.MT940(t)
                if keep:
                    objects.append(obj)
            kept.append(objects)
        except BaseException as e:  # noqa: BLE001 - reported below
            errors.append(e)

    workers = [threading.Thread(target=work, args=(c,)) for c in copies]
    for w in workers:
        w.start()
    barrier.wait()
    start = time.perf_counter()
    for w in workers:
        w.join()
    elapsed = time.perf_counter() - start
    kept.clear()
    if errors:
        raise errors[0]
    return elapsed


def page_size() -> int:
    return os.sysconf("SC_PAGE_SIZE")


def rss_bytes() -> int:
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * page_size()


def peak_rss_bytes() -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


def reset_peak_rss() -> bool:
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


def memory_probe(build_dir: Path, path: Path) -> dict:
    """Runs in a fresh interpreter: RSS growth of one MT940 over its text."""
    vardel = import_vardel(build_dir)
    text = path.read_text(encoding="utf-8")
    text_bytes = len(text.encode("utf-8"))
    warm_utf8(text)
    gc.collect()
    peak_reset = reset_peak_rss()
    before = rss_bytes()
    obj = vardel.MT940(text)
    after = rss_bytes()
    peak = peak_rss_bytes() if peak_reset else 0
    assert len(obj) >= 0
    return {
        "text_bytes": text_bytes,
        "retained_bytes": after - before,
        "peak_bytes": max(peak - before, after - before) if peak_reset else None,
    }


def run(args: argparse.Namespace) -> int:
    build_dir = Path(args.build_dir).resolve()
    vardel = import_vardel(build_dir)

    if args.input:
        path = Path(args.input)
    else:
        sys.path.insert(0, str(HERE))
        import gen_mt940  # noqa: PLC0415

        path = Path(args.work_dir) / f"bench_{args.transactions}.sta"
        if not path.exists():
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(gen_mt940.generate(args.transactions), encoding="utf-8",
                            newline="")
    text = path.read_text(encoding="utf-8")
    warm_utf8(text)
    mb = len(text.encode("utf-8")) / 1e6

    mt = vardel.MT940(text)
    statements = json.loads(mt.to_json())
    total_tx = sum(len(s["transactions"]) for s in statements)
    print(f"input: {path} ({mb:.1f} MB, {len(statements)} statements, "
          f"{total_tx} transactions; first statement {len(mt)})")

    figures: dict[str, float] = {}
    t, _ = best_time(lambda: vardel.MT940(text), args.rounds)
    figures["construct_mb_s"] = mb / t
    single_construct = t

    first_len = len(mt)
    t, _ = best_time(lambda: mt.transactions, args.rounds, min_seconds=0.3)
    figures["transactions_per_s"] = first_len / t

    for name in ("to_json", "to_csv", "to_camt053"):
        method = getattr(mt, name)
        out_mb = len(method().encode("utf-8")) / 1e6
        t, _ = best_time(method, args.rounds)
        figures[f"{name}_mb_s"] = out_mb / t
        figures[f"{name}_out_mb"] = out_mb

    # Construction only: the objects are kept, so few per thread (memory).
    keep_n = 2
    one = min(bench_threads(vardel, text, 1, keep_n, True) for _ in range(2))
    many = min(bench_threads(vardel, text, args.threads, keep_n, True) for _ in range(2))
    figures[f"thread_speedup_{args.threads}"] = args.threads * one / many
    # Construct-and-release loop, as a server handling requests would run it.
    per_thread = max(1, int(round(args.thread_seconds / max(single_construct, 1e-6))))
    one = min(bench_threads(vardel, text, 1, per_thread, False) for _ in range(2))
    many = min(bench_threads(vardel, text, args.threads, per_thread, False) for _ in range(2))
    figures[f"thread_speedup_release_{args.threads}"] = args.threads * one / many
    gc.collect()
    obj = vardel.MT940(text)
    start = time.perf_counter()
    del obj
    figures["release_ms"] = (time.perf_counter() - start) * 1e3
    figures["construct_ms"] = single_construct * 1e3

    probe = subprocess.run(
        [sys.executable, str(Path(__file__).resolve()), "--build-dir", str(build_dir),
         "--memory-probe", str(path.resolve())],
        check=True, capture_output=True, text=True)
    mem = json.loads(probe.stdout)
    figures["object_size_ratio"] = mem["retained_bytes"] / mem["text_bytes"]
    if mem["peak_bytes"] is not None:
        figures["peak_construct_ratio"] = mem["peak_bytes"] / mem["text_bytes"]

    rows = [
        ("construction, 1 thread", "construct_mb_s", "MB/s of input"),
        ("construction, 1 thread, time", "construct_ms", "ms"),
        (f"construction, {args.threads} threads speed-up", f"thread_speedup_{args.threads}", "x"),
        (f"  construct+release, {args.threads} threads", f"thread_speedup_release_{args.threads}",
         "x (objects released as replaced)"),
        ("release of one MT940 object", "release_ms", "ms (wall clock)"),
        ("MT940.transactions", "transactions_per_s", "Transaction/s"),
        ("to_json", "to_json_mb_s", "MB/s of output"),
        ("to_csv", "to_csv_mb_s", "MB/s of output"),
        ("to_camt053", "to_camt053_mb_s", "MB/s of output"),
        ("MT940 object size", "object_size_ratio", "x text size (RSS retained)"),
        ("peak during construction", "peak_construct_ratio", "x text size (RSS peak)"),
    ]
    missed = []
    print(f"{'figure':34} {'value':>14}  {'unit':28} {'target':>10}")
    for label, key, unit in rows:
        if key not in figures:
            continue
        value = figures[key]
        target = TARGETS.get("thread_speedup_8" if key == f"thread_speedup_{args.threads}" else key)
        verdict = ""
        if target is not None:
            goal, kind = target
            ok = value >= goal if kind == "min" else value <= goal
            verdict = f"{'>=' if kind == 'min' else '<='}{goal:g} {'ok' if ok else 'MISSED'}"
            if not ok:
                missed.append(label)
        print(f"{label:34} {value:14,.2f}  {unit:28} {verdict}")
    print(f"(export output sizes: json {figures['to_json_out_mb']:.1f} MB, "
          f"csv {figures['to_csv_out_mb']:.1f} MB, camt.053 {figures['to_camt053_out_mb']:.1f} MB; "
          f"{per_thread} constructions per thread)")
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=2))
    if missed:
        print("targets missed: " + ", ".join(missed))
        return 1 if args.strict else 0
    return 0


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", default=os.environ.get("VARDEL_BUILD_DIR", "build-bench"),
                        help="build directory holding the vardel module")
    parser.add_argument("--input", help="MT940 file to use instead of a generated one")
    parser.add_argument("-n", "--transactions", type=int, default=120_000,
                        help="transactions of the generated input")
    parser.add_argument("--work-dir", default=os.environ.get("TMPDIR", "/tmp"),
                        help="where the generated input is kept")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--threads", type=int, default=8)
    parser.add_argument("--thread-seconds", type=float, default=1.0,
                        help="approximate single-thread work per thread in the scaling test")
    parser.add_argument("--json", help="also write the figures to this JSON file")
    parser.add_argument("--strict", action="store_true", help="exit 1 when a target is missed")
    parser.add_argument("--memory-probe", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    if args.memory_probe:
        print(json.dumps(memory_probe(Path(args.build_dir).resolve(), Path(args.memory_probe))))
        return 0
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
