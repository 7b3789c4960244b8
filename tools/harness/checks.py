"""The outcome of a test script or an end-to-end scenario: a line per check,
and how many failed.

    check = Checks("walk", echo=True)
    check("verify page shows the address", text, "10.0.0.1")
    sys.exit(check.summary())
"""


class Checks:
    def __init__(self, scenario, echo=False):
        """echo: print each line as it is checked (a script run on its own);
        else the lines are kept for the suite to print together."""
        self.scenario = scenario
        self.echo = echo
        self.lines = []
        self.failed = 0

    def __call__(self, what, got, want):
        ok = got == want
        self._line(ok, f"{what}" + ("" if ok else f": got {got!r}, want {want!r}"))
        return ok

    def fail(self, what):
        """A failure that is no comparison: an error that ended the run."""
        self._line(False, what)

    def summary(self):
        """Prints the count of failures; the exit code (0 when none failed)."""
        print(f"{self.failed} failure(s)", flush=True)
        return 1 if self.failed else 0

    def _line(self, ok, text):
        self.failed += 0 if ok else 1
        line = f"{'ok  ' if ok else 'FAIL'} {self.scenario}: {text}"
        self.lines.append(line)
        if self.echo:
            print(line, flush=True)
