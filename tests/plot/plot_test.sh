#!/usr/bin/env bash
# plot-spectrum: images of the right format and size from good tables, gaps
# for fields without a value, and a clear refusal of anything else.
# usage: plot_test.sh PATH/TO/plot-spectrum
set -u
tool=${1:?usage: plot_test.sh PATH/TO/plot-spectrum}
for need in gnuplot:gnuplot-nox python3:python3; do
  if ! command -v "${need%%:*}" >/dev/null; then
    echo "skipped: ${need%%:*} is not installed (Debian package ${need#*:})"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A table shaped like the program's: header, then 300 rows of a plausible
# spectrum (a resonant bump in Sa, Sv and Sd = Sa (T/2pi)^k).
python3 - "$work/sample.csv" <<'PY'
import math, sys
rows = [" period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3"]
for k in range(1, 301):
    t = 0.05 * k
    sa = [p * (1 + 2.5 * math.exp(-(math.log(t / tc)) ** 2)) / (1 + t * t)
          for p, tc in ((250, 0.5), (200, 0.7), (120, 0.2))]
    w = 2 * math.pi / t
    vals = sa + [a / w for a in sa] + [a / w / w for a in sa]
    rows.append(",".join(["%8.4f" % t] + ["%8.2f" % v for v in vals]))
open(sys.argv[1], "w").write("\n".join(rows) + "\n")
PY

# png_size FILE -> "WIDTHxHEIGHT" if FILE starts with the PNG signature and
# an IHDR chunk, else nothing.
png_size() {
  local hex
  hex=$(od -An -tx1 -N24 "$1" | tr -d ' \n')
  [ "${hex:0:16}" = 89504e470d0a1a0a ] && [ "${hex:24:8}" = 49484452 ] || return 0
  echo "$((16#${hex:32:8}))x$((16#${hex:40:8}))"
}
# svg_size FILE -> "WIDTHxHEIGHT" from the attributes of the root element.
svg_size() {
  python3 - "$1" <<'PY'
import sys, xml.etree.ElementTree as ET
try:
    root = ET.parse(sys.argv[1]).getroot()
except ET.ParseError:
    sys.exit(0)
if root.tag == "{http://www.w3.org/2000/svg}svg":
    print("%sx%s" % (root.get("width"), root.get("height")))
PY
}

# run NAME ARGS...: runs the tool, keeping its status and standard error.
run() {
  local name=$1; shift
  "$tool" "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.rc"
}
status() { cat "$work/$1.rc"; }
expect_image() {  # NAME FILE KIND SIZE
  local got
  [ "$(status "$1")" = 0 ] || { fail "$1: status $(status "$1"): $(cat "$work/$1.err")"; return; }
  [ -s "$work/$1.out" ] && fail "$1: wrote to standard output"
  if [ "$3" = png ]; then got=$(png_size "$2"); else got=$(svg_size "$2"); fi
  [ "$got" = "$4" ] || fail "$1: expected a $3 image of $4, found '${got}'"
}

# Good tables.
run png "$work/sample.csv" "$work/sample.png"
expect_image png "$work/sample.png" png 900x1200
[ -s "$work/png.err" ] && fail "png: unexpected message: $(cat "$work/png.err")"

run svg "$work/sample.csv" "$work/sample.svg" --log --title "it's a test"
expect_image svg "$work/sample.svg" svg 900x1200

run sized "$work/sample.csv" "$work/sized.img" --format png --size 640x960 --labels EW,NS,UD
expect_image sized "$work/sized.img" png 640x960

# A table written on Windows, with CR LF line ends, is the same table.
sed 's/$/\r/' "$work/sample.csv" >"$work/crlf.csv"
run crlf "$work/crlf.csv" "$work/crlf.png"
expect_image crlf "$work/crlf.png" png 900x1200

# Fields without a finite value become gaps, with a warning naming them.
awk -F, -v OFS=, '
  NR == 5 { $2 = "********" }
  NR >= 10 && NR <= 12 { $6 = "********" }
  NR == 20 { $10 = "    -nan" }
  NR == 21 { $10 = "     inf" }
  { print }' "$work/sample.csv" >"$work/gaps.csv"
run gaps "$work/gaps.csv" "$work/gaps.png" --script "$work/gaps.gp"
expect_image gaps "$work/gaps.png" png 900x1200
grep -q "warning: .*gaps.csv: 6 fields without a finite value" "$work/gaps.err" \
  || fail "gaps: no warning with the count: $(cat "$work/gaps.err")"
grep -q "acc 1: 1 (\*\*\*\*\*\*\*\*) on line 5$" "$work/gaps.err" || fail "gaps: acc 1 line 5 not named"
grep -q "vel 2: 3 (\*\*\*\*\*\*\*\*) on lines 10-12$" "$work/gaps.err" || fail "gaps: vel 2 lines 10-12 not named"
grep -q "dis 3: 2 (-nan inf) on lines 20-21$" "$work/gaps.err" || fail "gaps: dis 3 lines 20-21 not named"
# In the data handed to gnuplot, acc 1 (block L1) breaks after period 0.15 and
# resumes at 0.25: no stand-in value at 0.20.
python3 - "$work/gaps.gp" <<'PY' || fail "gaps: acc 1 not broken at period 0.20 in the gnuplot data"
import re, sys
block = re.search(r"^\$L1 << EOD\n(.*?)^EOD", open(sys.argv[1]).read(), re.S | re.M).group(1)
runs = [r.split("\n") for r in block.strip("\n").split("\n\n")]
assert [r[-1].split()[0] for r in runs[:-1]] == ["0.15"], runs[0][-1]
assert runs[1][0].split()[0] == "0.25"
assert all(not l.startswith("0.2 ") for r in runs for l in r)
PY

# A panel with no value at all is drawn empty rather than failing the plot.
awk -F, -v OFS=, 'NR > 1 { $5 = $6 = $7 = "********" } { print }' "$work/sample.csv" >"$work/novel.csv"
run novel "$work/novel.csv" "$work/novel.png" --log
expect_image novel "$work/novel.png" png 900x1200
grep -q "vel 1: 300 (\*\*\*\*\*\*\*\*) on lines 2-301$" "$work/novel.err" || fail "novel: $(cat "$work/novel.err")"

# Not a table: refused, nothing written.
refuse() {  # NAME MESSAGE-PATTERN FILE
  run "$1" "$3" "$work/$1.png"
  [ "$(status "$1")" = 1 ] || fail "$1: status $(status "$1"), expected 1"
  grep -q -- "$2" "$work/$1.err" || fail "$1: message '$(cat "$work/$1.err")' lacks '$2'"
  [ -e "$work/$1.png" ] && fail "$1: an image was written"
  ls -a "$work" | grep -q '^\.plot-spectrum-' && fail "$1: left a temporary file"
}
sed '1s/acc 1/acc 0/' "$work/sample.csv" >"$work/header.csv"
refuse header "header.csv: not a spectrum table: line 1 is not the header" "$work/header.csv"
sed '1s/^ //' "$work/sample.csv" >"$work/noblank.csv"
refuse noblank "line 1 is not the header" "$work/noblank.csv"
sed '7s/,[^,]*$//' "$work/sample.csv" >"$work/fields.csv"
refuse fields "fields.csv: line 7: 9 fields, a table row has 10" "$work/fields.csv"
sed '40s/^\(\([^,]*,\)\{4\}\)[^,]*/\1   12.3x/' "$work/sample.csv" >"$work/garbage.csv"
refuse garbage "garbage.csv: line 40, vel 1: '   12.3x' is not a number" "$work/garbage.csv"
sed '50s/,[^,]*,/,  ****.*,/' "$work/sample.csv" >"$work/halfstar.csv"
refuse halfstar "line 50, acc 1: '  \*\*\*\*\.\*' is not a number" "$work/halfstar.csv"
head -1 "$work/sample.csv" >"$work/empty.csv"
refuse empty "the table has a header but no rows" "$work/empty.csv"
refuse missing "cannot read" "$work/no-such.csv"

# Bad usage: status 2 and the usage line.
run usage "$work/sample.csv"
[ "$(status usage)" = 2 ] && grep -q "^usage: plot-spectrum" "$work/usage.err" || fail "usage: no usage message"
run ext "$work/sample.csv" "$work/out.jpg"
[ "$(status ext)" = 2 ] && grep -q "name it .png or .svg" "$work/ext.err" || fail "ext: $(cat "$work/ext.err")"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all plot-spectrum checks passed"
