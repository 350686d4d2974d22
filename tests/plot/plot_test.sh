#!/usr/bin/env bash
# plot-spectrum: images of the right format and size from good tables, gaps
# for fields without a value, a suite with a target, and a clear refusal of
# anything else.
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

# A suite on one picture: the first table bold, two more in grey, a target
# from design-spectrum (dashed, its part beyond 4 s in a sparser dash), 0.9 of
# it dotted, and the period range shaded.
tools=$(dirname "$tool")
awk -F, -v OFS=, 'NR > 1 { for (i = 2; i <= 10; i++) $i = sprintf("%8.2f", $i * 0.8) } { print }' \
  "$work/sample.csv" >"$work/low.csv"
awk -F, -v OFS=, 'NR > 1 { for (i = 2; i <= 10; i++) $i = sprintf("%8.2f", $i * 1.3) } { print }' \
  "$work/sample.csv" >"$work/high.csv"
"$tools/design-spectrum" --ec8 1,C,0.25 -o "$work/target.csv" || fail "design-spectrum failed"
for axis in linear log; do
  run "suite-$axis" "$work/sample.csv" "$work/suite-$axis.png" --add "$work/low.csv" \
    --add "$work/high.csv" --target "$work/target.csv" --fraction 0.9 --range 0.2,2 \
    --script "$work/suite-$axis.gp" $([ $axis = log ] && echo --log)
  expect_image "suite-$axis" "$work/suite-$axis.png" png 900x1200
  [ -s "$work/suite-$axis.err" ] && fail "suite-$axis: unexpected message: $(cat "$work/suite-$axis.err")"
done
python3 - "$work/suite-linear.gp" "$work/target.csv" "$work/low.csv" <<'PY' || fail "suite: the gnuplot script does not draw what was asked"
import re, sys
script = open(sys.argv[1]).read()
def block(name):
    text = re.search(r"^\$%s << EOD\n(.*?)^EOD" % re.escape(name), script, re.S | re.M).group(1)
    return [[tuple(float(x) for x in l.split()) for l in run.split("\n")]
            for run in text.strip("\n").split("\n\n")]
target = [l.split(",") for l in open(sys.argv[2]).read().split("\n")[1:-1]]
# The target's lines: inside the code's range up to 4 s, the rest from 4 s on.
inside, beyond = block("T1I"), block("T1B")
assert len(inside) == 1 and len(beyond) == 1, (len(inside), len(beyond))
assert inside[0][0][0] == 0.05 and inside[0][-1][0] == 4.0, inside[0][-1]
assert beyond[0][0][0] == 4.0 and beyond[0][-1][0] == 15.0 and len(beyond[0]) == 221
assert [p[1] for p in inside[0] + beyond[0][1:]] == [float(r[1]) for r in target]
assert [p[1] for p in block("T2I")[0]] == [float(r[2]) for r in target[:80]]
# The added tables' blocks hold their own values: $A1_1 is acc 1 of low.csv.
assert block("A1_1")[0][0] == (0.05, float(open(sys.argv[3]).read().split("\n")[1].split(",")[1]))
plots = script.split("\nplot ")
sa = plots[1]
assert "$A2_3 using 1:2 with lines lw 1" in sa and "title '2 added records'" in sa
assert re.search(r"\$L1 using 1:2 with lines lw 3 .* title 'component 1'", sa)
assert re.search(r"\$T1I using 1:\(\$2\) with lines dt \(10,4\).* title 'target, horizontal'", sa)
assert re.search(r"\$T1B using 1:\(\$2\) with lines dt \(5,7\)", sa)
assert re.search(r"\$T2I using 1:\(\$2\*0.9\) with lines dt \(1,2.5\)", sa)
assert "title '0.9 × target'" in sa and "title 'periods 0.2-2 s'" in sa
# The target belongs to the acceleration panel only; the range is shaded in all.
assert all("$T" not in p for p in plots[2:])
assert "set object 1 rect from first 0.2, graph 0 to first 2.0, graph 1 behind" in script
PY

# A target without the vertical column (the two-period form) and without
# the code range column draws one line; records alone need no target.
"$tools/design-spectrum" --asce7 1,0.5,4 | cut -d, -f1-3 >"$work/asce.csv"
run asce "$work/sample.csv" "$work/asce.svg" --target "$work/asce.csv" --script "$work/asce.gp"
expect_image asce "$work/asce.svg" svg 900x1200
grep -q '^\$T1I << EOD' "$work/asce.gp" && ! grep -q '^\$T2\|^\$T1B' "$work/asce.gp" \
  || fail "asce: expected the horizontal target alone, inside the code's range"
run records "$work/sample.csv" "$work/records.png" --add "$work/low.csv"
expect_image records "$work/records.png" png 900x1200

# Refused: a fraction without a target, a bad range (usage, status 2); an
# added table or a target that is not one (status 1).
run nofrac "$work/sample.csv" "$work/nofrac.png" --fraction 0.9
[ "$(status nofrac)" = 2 ] && grep -q -- "--fraction needs --target" "$work/nofrac.err" || fail "nofrac: $(cat "$work/nofrac.err")"
run badrange "$work/sample.csv" "$work/badrange.png" --range 2,1
[ "$(status badrange)" = 2 ] && grep -q -- "--range: T1 must be below T2" "$work/badrange.err" || fail "badrange: $(cat "$work/badrange.err")"
run badadd "$work/sample.csv" "$work/badadd.png" --add "$work/target.csv"
[ "$(status badadd)" = 1 ] && grep -q "target.csv: not a spectrum table" "$work/badadd.err" || fail "badadd: $(cat "$work/badadd.err")"
run badtarget "$work/sample.csv" "$work/badtarget.png" --target "$work/sample.csv"
[ "$(status badtarget)" = 1 ] && grep -q "sample.csv: not a target spectrum" "$work/badtarget.err" || fail "badtarget: $(cat "$work/badtarget.err")"
[ -e "$work/badadd.png" ] || [ -e "$work/badtarget.png" ] && fail "refused, but an image was written"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all plot-spectrum checks passed"
