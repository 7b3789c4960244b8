"""Numbered record files and the one-line event log of the simulated router.

Every exchange the router sees is written to the record folder so that a test
can compare what the program sent with what it meant to send. Files appear
atomically (written under a temporary name, then renamed), so a test that
polls for a JSON summary never reads half of one.
"""

import json
import os
import pathlib
import sys
import threading
import time


class Recorder:
    """Hands out exchange numbers and writes record files into one folder."""

    def __init__(self, directory):
        self.directory = pathlib.Path(directory)
        self.directory.mkdir(parents=True, exist_ok=True)
        self._lock = threading.Lock()
        self._counters = {"http": 0, "udp": 0}

    def next_number(self, kind):
        """Next exchange number of one kind ("http" or "udp"), from 1."""
        with self._lock:
            self._counters[kind] += 1
            return self._counters[kind]

    def write_bytes(self, name, data):
        self._write(name, bytes(data))

    def write_json(self, name, summary):
        text = json.dumps(summary, indent=1, ensure_ascii=True) + "\n"
        self._write(name, text.encode("ascii"))

    def _write(self, name, data):
        final = self.directory / name
        partial = self.directory / (name + ".part")
        with open(partial, "wb") as out:
            out.write(data)
        os.replace(partial, final)


_log_lock = threading.Lock()


def log(event, **fields):
    """One line per event on stdout, flushed: the router's debugging trace."""
    parts = [time.strftime("%H:%M:%S"), event]
    parts += [f"{key}={value}" for key, value in fields.items()]
    with _log_lock:
        sys.stdout.write(" ".join(parts) + "\n")
        sys.stdout.flush()
