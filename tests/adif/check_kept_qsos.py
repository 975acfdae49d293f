"""Reads the bridge's not-logged.adi with pyqso's ADIF reader (Debian's
pyqso package) and checks every field as the bridge wrote it.

pyqso keeps only the ADIF fields it knows; the others (QTH, COMMENT,
QSL_VIA, TIME_OFF, the in-doubt mark) are added to its table as strings so
that its own parser reads them too.
"""
import sys

sys.path.insert(0, "/usr/lib/python3/dist-packages")
import pyqso.adif as adif  # noqa: E402

EXTRA = ["QTH", "COMMENT", "QSL_VIA", "TIME_OFF", "APP_LINKWELL_IN_DOUBT"]
for name in EXTRA:
    adif.AVAILABLE_FIELD_NAMES_TYPES[name] = "S"
    adif.AVAILABLE_FIELD_NAMES_ORDERED.append(name)

EXPECTED = [
    # The first: what the push had given Logger32 when it was logged (the
    # record sent at 7400 ms, CW on 7030.5 kHz).
    {"CALL": "K1ABC", "RST_RCVD": "599", "RST_SENT": "579", "QTH": "Boston", "NAME": "Bob",
     "COMMENT": "tnx fer QSO", "GRIDSQUARE": "FN42", "IOTA": "NA-046", "QSL_VIA": "W1XYZ",
     "QSO_DATE": "20261209", "TIME_ON": "1234", "TIME_OFF": "1234", "MODE": "CW",
     "FREQ": "7.0305"},
    # The second: Logger32 was closed, so it never heard of RTTY or the new
    # call; the logging carries the QSO on screen (the new call, the other
    # boxes as they stand, RTTY on MixW's dial of 14080.25 kHz) and the
    # QSO's own time.
    {"CALL": "JA1QRP", "RST_RCVD": "599", "RST_SENT": "579", "QTH": "Boston", "NAME": "Bob",
     "COMMENT": "tnx fer QSO", "GRIDSQUARE": "FN42", "IOTA": "NA-046", "QSL_VIA": "W1XYZ",
     "QSO_DATE": "20261209", "TIME_ON": "1240", "TIME_OFF": "1240", "MODE": "RTTY",
     "FREQ": "14.08025"},
]


def main(path):
    records = adif.ADIF().read(path)
    failures = []
    if len(records) != len(EXPECTED):
        failures.append("%d records read, %d expected" % (len(records), len(EXPECTED)))
    for i, (got, want) in enumerate(zip(records, EXPECTED)):
        for field, value in want.items():
            if got.get(field) != value:
                failures.append("record %d %s: read %r, wrote %r" % (i + 1, field, got.get(field), value))
        extra = set(got) - set(want)
        if extra:
            failures.append("record %d has fields not written: %s" % (i + 1, sorted(extra)))
    for f in failures:
        print("FAIL", f)
    print("%d passed, %d failed" % (sum(len(w) for w in EXPECTED) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
