"""Checks the stand-in Logger32s' log of a Wine run (linkwell-peers
--logger32-log, docs/scenarios.md) against the run's trace: every
"<APP_LOGQSO:" text a Logger32 took (an `L32 text` line of the trace) is in
the log exactly once, in the trace's order, with the moment the trace gives
it (within 50 ms: the log takes the moment as the text is taken, the trace
as it prints it), and the Logger32s' numbers never go back. A Logger32
killed after it took a text still has it in the log.

    check_logger32_log.py RUN.trace RUN.logger32.log
"""
import re
import sys

LINE = re.compile(r'^(\d+) L32 text "((?:[^"\\]|\\.)*)"\s*$')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
# How far apart the trace's moment and the log's may be.
SLACK_MS = 50


def unquote(quoted):
    """The text of a trace's quoted string (text::Quote)."""
    out, i = [], 0
    while i < len(quoted):
        c = quoted[i]
        if c != "\\":
            out.append(c)
            i += 1
        elif quoted[i + 1] == "u":
            out.append(chr(int(quoted[i + 2:i + 6], 16)))
            i += 6
        else:
            out.append(ESCAPES[quoted[i + 1]])
            i += 2
    return "".join(out)


def unescape(text):
    """The text of a log line (CR, LF and backslash written \\r, \\n, \\\\)."""
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n"}.get(m.group(1), m.group(1)), text)


def taken(trace_path):
    """(ms, text) of each logging text the trace says a Logger32 took."""
    out = []
    with open(trace_path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            m = LINE.match(raw.rstrip("\r\n"))
            if m and unquote(m.group(2)).startswith("<APP_LOGQSO:"):
                out.append((int(m.group(1)), unquote(m.group(2))))
    return out


def logged(log_path):
    """(ms, run, text) of each line of the log."""
    out = []
    with open(log_path, "rb") as f:
        for raw in f.read().split(b"\r\n"):
            if not raw:
                continue
            ms, run, text = raw.decode("utf-8").split(" ", 2)
            out.append((int(ms), int(run), unescape(text)))
    return out


def check(trace_path, log_path):
    """The differences, one line each; none when the log agrees."""
    want, got = taken(trace_path), logged(log_path)
    problems = []
    for i, (ms, text) in enumerate(want):
        if i >= len(got):
            problems.append(f"taken at {ms}, not in the log: {text[:60]}")
            continue
        log_ms, _, log_text = got[i]
        if log_text != text:
            problems.append(f"line {i + 1} of the log is {log_text[:60]}, the trace took {text[:60]}")
        elif abs(log_ms - ms) > SLACK_MS:
            problems.append(f"line {i + 1} of the log says {log_ms}, the trace {ms}")
    for ms, _, text in got[len(want):]:
        problems.append(f"in the log at {ms}, never taken: {text[:60]}")
    runs = [run for _, run, _ in got]
    if runs != sorted(runs):
        problems.append(f"the Logger32s' numbers go back: {runs}")
    return problems


def main():
    problems = check(sys.argv[1], sys.argv[2])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
