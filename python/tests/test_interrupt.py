"""Ctrl+C stops long work in the engine: many runs, a sweep, a mesh."""

import signal
import subprocess
import sys
import textwrap
import time

import pytest

# The child says when it starts the work, then reports how it ended.
CHILD = textwrap.dedent("""
    import sys, time
    import ammonite
    work = {
        "grow": lambda: ammonite.grow(runs=1000),
        "sweep": lambda: ammonite.sweep({"alpha": "1.004:1.006:4000"}, progress=False, jobs=1),
        # One mesh of the longest shell takes well under a second: meshes one after another.
        "mesh": lambda: [shell.mesh() for _ in range(1000)],
    }
    shell = ammonite.grow(stages=3000) if sys.argv[1] == "mesh" else None
    print("started", flush=True)
    try:
        work[sys.argv[1]]()
    except KeyboardInterrupt:
        print("interrupted", flush=True)
    else:
        print("finished", flush=True)
""")


@pytest.mark.parametrize("work", ["grow", "sweep", "mesh"])
def test_ctrl_c_stops_the_work_within_two_seconds(work):
    child = subprocess.Popen([sys.executable, "-c", CHILD, work], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "started\n"
        time.sleep(0.5)  # well inside the work
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        ending = child.stdout.readline()
        waited = time.monotonic() - sent
        child.wait(timeout=10)
    finally:
        child.kill()
    assert ending == "interrupted\n"
    assert waited < 2, f"{work} went on for {waited:.1f} s after Ctrl+C"
