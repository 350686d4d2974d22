"""Reading the tables the tools work on: rspec's spectrum table and the
target written by design-spectrum (or by hand in the same layout); and the
option values the tools share."""

import math
import re

HEADER = " period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3"
COLUMNS = HEADER.strip().split(", ")
TARGET_COLUMNS = ["period(s)", "Sa horizontal", "Sa vertical"]
# Optional fourth column of a target: 1 where the code defines the spectrum,
# 0 where the row holds the formula carried beyond the code's last period.
TARGET_RANGE_COLUMN = "in code range"
NUMBER = re.compile(r"-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?")
NON_FINITE = {"nan", "-nan", "inf", "-inf", "infinity", "-infinity"}


class NotATable(Exception):
    pass


def text_lines(path, kind):
    """The file's lines, for plain ASCII text with LF or CR LF line ends."""
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        raise NotATable("cannot read %s: %s" % (path, e.strerror))
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError:
        raise NotATable("%s: not a %s (not plain text)" % (path, kind))
    # A table written on Windows ends its lines with CR LF.
    lines = text.replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def read_table(path):
    """Rows of ten values (None where the table holds no finite number) and
    the list of (line, column, text) of those gaps."""
    lines = text_lines(path, "spectrum table")
    if not lines or lines[0] != HEADER:
        got = lines[0] if lines else "(empty file)"
        raise NotATable("%s: not a spectrum table: line 1 is not the header\n"
                        "  expected: %r\n  found:    %r" % (path, HEADER, got[:100]))
    rows, gaps = [], []
    for lineno, line in enumerate(lines[1:], start=2):
        fields = line.split(",")
        if len(fields) != len(COLUMNS):
            raise NotATable("%s: line %d: %d fields, a table row has %d"
                            % (path, lineno, len(fields), len(COLUMNS)))
        row = []
        for col, field in zip(COLUMNS, fields):
            word = field.strip()
            if NUMBER.fullmatch(word):
                value = float(word)
                row.append(value)
            elif (word and set(word) == {"*"}) or word.lower() in NON_FINITE:
                row.append(None)
                gaps.append((lineno, col, word))
            else:
                raise NotATable("%s: line %d, %s: %r is not a number"
                                % (path, lineno, col, field))
        rows.append(row)
    if not rows:
        raise NotATable("%s: the table has a header but no rows" % path)
    return rows, gaps


def read_target(path):
    """Rows (period, horizontal, vertical or None, in code range) of a target
    spectrum, periods positive and increasing, values not negative."""
    lines = text_lines(path, "target spectrum")
    names = [w.strip() for w in lines[0].split(",")] if lines else []
    if names not in (TARGET_COLUMNS, TARGET_COLUMNS + [TARGET_RANGE_COLUMN]):
        got = lines[0] if lines else "(empty file)"
        raise NotATable("%s: not a target spectrum: line 1 is not %r (optionally with %r)"
                        "; found %r" % (path, ", ".join(TARGET_COLUMNS), TARGET_RANGE_COLUMN,
                                        got[:100]))
    rows = []
    for lineno, line in enumerate(lines[1:], start=2):
        fields = [w.strip() for w in line.split(",")]
        if len(fields) != len(names):
            raise NotATable("%s: line %d: %d fields, the header has %d"
                            % (path, lineno, len(fields), len(names)))
        values = []
        for name, word in zip(names[:3], fields):
            if word == "" and name == "Sa vertical":
                values.append(None)
            elif NUMBER.fullmatch(word) and float(word) >= 0.0:
                values.append(float(word))
            else:
                raise NotATable("%s: line %d, %s: %r is not a number of 0 or more"
                                % (path, lineno, name, word))
        if values[0] <= 0.0 or (rows and values[0] <= rows[-1][0]):
            raise NotATable("%s: line %d: the periods must be above 0 and increasing"
                            % (path, lineno))
        defined = True
        if len(fields) == 4:
            if fields[3] not in ("0", "1"):
                raise NotATable("%s: line %d, %s: %r is neither 1 nor 0"
                                % (path, lineno, TARGET_RANGE_COLUMN, fields[3]))
            defined = fields[3] == "1"
        rows.append((values[0], values[1], values[2], defined))
    if not rows:
        raise NotATable("%s: the target has a header but no rows" % path)
    return rows


def positive(text, what):
    """A finite number above 0, or ValueError with a message naming WHAT."""
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not (math.isfinite(value) and value > 0.0):
        raise ValueError("%s must be a positive number, not %r" % (what, text))
    return value


def period_range(text, what="--range"):
    """T1,T2 with 0 < T1 < T2, or ValueError."""
    parts = text.split(",")
    if len(parts) != 2:
        raise ValueError("%s needs T1,T2 separated by a comma, not %r" % (what, text))
    t1, t2 = (positive(p.strip(), what) for p in parts)
    if t1 >= t2:
        raise ValueError("%s: T1 must be below T2, not %r" % (what, text))
    return t1, t2
