"""Checks what WSJT-X's reference server (Debian's udp_daemon) printed of a
session of the real linkwell.exe --udp against what the bridge sends in
the simulated world for the same scenario (its UDP lines):

  - the client Linkwell appeared, and was removed when the bridge closed;
  - its status showed MixW's dial and mode;
  - each QSO logged arrived once, with its call, mode, frequency and time
    (udp_daemon prints a QSO Logged twice: its fields, then "Logged CALL");
  - each Logged ADIF text, as udp_daemon printed it, read back by pyqso's
    ADIF reader (Debian's pyqso), gives every field as sent. The date is
    the day of the real run (the simulated world's is fixed): today's or
    yesterday's in UTC, as on the QSO Logged line.

    check_udp_daemon.py SIM.trace DAEMON.out
"""
import datetime
import json
import os
import re
import sys
import tempfile

sys.path.insert(0, "/usr/lib/python3/dist-packages")
import pyqso.adif as adif  # noqa: E402

FIELD = re.compile(r'([a-z-]+)=("(?:[^"\\]|\\.)*"|\S+)')
ADIF_FIELD = re.compile(r"<([A-Za-z_]+):(\d+)>")


def sent(trace_path):
    """The datagrams of the simulated run: (kind, {field: value})."""
    out = []
    with open(trace_path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ", 3)
            if len(parts) < 4 or parts[1] != "UDP":
                continue
            fields = {}
            for name, value in FIELD.findall(parts[3]):
                fields[name] = json.loads(value) if value.startswith('"') else value
            out.append((parts[2], fields))
    return out


def adif_fields(text):
    """The fields of an ADIF record as written: tag -> value."""
    fields = {}
    for m in ADIF_FIELD.finditer(text):
        tag, length = m.group(1).upper(), int(m.group(2))
        if tag in ("ADIF_VER", "PROGRAMID"):
            continue
        fields[tag] = text[m.end():m.end() + length]
    return fields


def read_back(text):
    """pyqso's reading of an ADIF file holding `text`."""
    known = set(adif.AVAILABLE_FIELD_NAMES_TYPES)
    for name in adif_fields(text):
        if name not in known:
            adif.AVAILABLE_FIELD_NAMES_TYPES[name] = "S"
            adif.AVAILABLE_FIELD_NAMES_ORDERED.append(name)
    with tempfile.NamedTemporaryFile("w", suffix=".adi", delete=False, encoding="utf-8") as f:
        f.write(text)
        path = f.name
    try:
        return adif.ADIF().read(path)
    finally:
        os.unlink(path)


NOW = datetime.datetime.now(datetime.timezone.utc)
DAYS = [(NOW - datetime.timedelta(days=d)).strftime("%Y%m%d") for d in (0, 1)]


def main(trace_path, daemon_path):
    datagrams = sent(trace_path)
    with open(daemon_path, encoding="utf-8", errors="replace") as f:
        printed = f.read()
    lines = printed.splitlines()
    checks = []

    def check(ok, what):
        checks.append((ok, what))

    check(any("Discovered WSJT-X instance: Linkwell(" in l for l in lines), "client Linkwell appeared")
    check(any("Removed WSJT-X instance: Linkwell(" in l for l in lines), "client Linkwell closed")
    statuses = [f for k, f in datagrams if k == "Status" and f["dial"] != "0"]
    check(bool(statuses), "the simulated run sent a Status with a dial")
    for s in statuses:
        check(any("Dial frequency changed to %s" % s["dial"] in l for l in lines),
              "status showed the dial %s" % s["dial"])
        check(any("Mode changed to %s" % s["mode"] in l for l in lines),
              "status showed the mode %s" % s["mode"])
    qsos = [f for k, f in datagrams if k == "QsoLogged"]
    check(bool(qsos), "the simulated run logged QSOs")
    for q in qsos:
        logged = [l for l in lines if re.search(r"\bLogged %s\b" % re.escape(q["call"]), l)]
        check(len(logged) == 1, "QSO %s arrived once (%d times)" % (q["call"], len(logged)))
        fields = [l for l in lines if 'dx_call: "%s"' % q["call"] in l]
        check(len(fields) == 1, "QSO %s's fields printed once (%d times)" % (q["call"], len(fields)))
        for l in fields:
            check('freq: %s mode: "%s"' % (q["freq"], q["mode"]) in l,
                  "QSO %s on %s Hz in %s: %s" % (q["call"], q["freq"], q["mode"], l))
        time_off = q["off"].split("T")[1][:8]
        for l in logged:
            check("freq: %s " % q["freq"] in l + " ", "QSO %s on %s Hz: %s" % (q["call"], q["freq"], l))
            m = re.search(r"time_off: (\d{4})-(\d\d)-(\d\d) (\S+)", l)
            check(bool(m) and m.group(4).startswith(time_off) and m.group(1) + m.group(2) + m.group(3) in DAYS,
                  "QSO %s at %s today: %s" % (q["call"], time_off, l))
    for k, f in datagrams:
        if k != "LoggedAdif":
            continue
        text = f["adif"]
        record = text[text.index("<EOH>") + 5:]
        call = adif_fields(record)["CALL"]
        # What udp_daemon printed of it: from its header line to the <EOR>.
        start = printed.find(text.split("\n", 1)[0])
        while start >= 0 and printed.find("<CALL:%d>%s" % (len(call), call), start) > printed.find("<EOR>", start):
            start = printed.find(text.split("\n", 1)[0], start + 1)
        check(start >= 0, "Logged ADIF of %s printed" % call)
        if start < 0:
            continue
        received = printed[start:printed.index("<EOR>", start) + 5]
        records = read_back(received)
        want = adif_fields(record)
        if "QSO_DATE" in want:
            want["QSO_DATE"] = DAYS
        mode = [q["mode"] for q in qsos if q["call"] == call]
        check(mode == [want.get("MODE")], "QSO %s in %s" % (call, mode))
        check(len(records) == 1, "Logged ADIF of %s reads as one record" % call)
        for got in records:
            for tag, value in want.items():
                ok = got.get(tag) in value if isinstance(value, list) else got.get(tag) == value
                check(ok, "ADIF of %s: %s read %r, sent %r" % (call, tag, got.get(tag), value))
            check(set(got) == set(want), "ADIF of %s: fields read %s, sent %s" % (call, sorted(got), sorted(want)))
    failed = [w for ok, w in checks if not ok]
    for w in failed:
        print("FAIL", w)
    print("%d passed, %d failed" % (len(checks) - len(failed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
