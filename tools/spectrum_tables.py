"""Reading the tables the tools work on: rspec's spectrum table; and the
option values the tools share."""

import math
import re

HEADER = " period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3"
COLUMNS = HEADER.strip().split(", ")
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


def positive(text, what):
    """A finite number above 0, or ValueError with a message naming WHAT."""
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not (math.isfinite(value) and value > 0.0):
        raise ValueError("%s must be a positive number, not %r" % (what, text))
    return value
