import threading
import time

import pytest


@pytest.fixture
def ticks_during():
    """Runs a call beside a ticker that needs the GIL for each tick; returns the ticks counted
    while the call ran. A call that holds the GIL throughout lets none through."""

    def run(call):
        ticks, stop = [], threading.Event()

        def ticker():
            while not stop.is_set():
                ticks.append(time.perf_counter())
                time.sleep(0.001)

        thread = threading.Thread(target=ticker)
        thread.start()
        try:
            time.sleep(0.01)
            start = time.perf_counter()
            call()
            end = time.perf_counter()
        finally:
            stop.set()
            thread.join()
        assert end - start > 0.01, "the call is too short to tell"
        return sum(start < tick < end for tick in ticks)

    return run
