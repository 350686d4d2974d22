#!/usr/bin/env bash
# Every manual page renders with man -l without a warning (groff -ww), and
# passes mandoc's lint at warning level where mandoc is installed.
# usage: man_test.sh DOCS_MAN_DIR
set -u
dir=${1:?usage: man_test.sh DOCS_MAN_DIR}
if ! command -v man >/dev/null || ! command -v groff >/dev/null; then
  echo "skipped: man or groff is not installed (Debian packages man-db, groff-base)"
  exit 77
fi
failures=0
pages=("$dir"/*.1)
[ -e "${pages[0]}" ] || { echo "FAIL: no page in $dir"; exit 1; }
for page in "${pages[@]}"; do
  out=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings=w -l "$page" 2>&1 >/dev/null)
  [ -z "$out" ] || { echo "FAIL: man -l $page: $out"; failures=$((failures + 1)); }
  for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' EXAMPLES; do
    grep -q "^\.SH \"\?$section" "$page" || { echo "FAIL: $page has no $section"; failures=$((failures + 1)); }
  done
  if command -v mandoc >/dev/null; then
    out=$(mandoc -T lint -W warning "$page" 2>&1)
    [ -z "$out" ] || { echo "FAIL: mandoc lint: $out"; failures=$((failures + 1)); }
  else
    echo "note: mandoc is not installed; its lint was skipped"
  fi
done
echo "${#pages[@]} pages, $failures failures"
[ "$failures" -eq 0 ]
