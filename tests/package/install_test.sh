#!/usr/bin/env bash
# cmake --install puts the program and its companions into bin/ and a manual
# page for each into share/man/man1/, and the installed batch runs the
# installed program.
# usage: install_test.sh BUILD_DIR SOURCE_DIR
set -u
build=${1:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
src=${2:?usage: install_test.sh BUILD_DIR SOURCE_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix/p" >"$prefix/log" 2>&1 || { cat "$prefix/log"; fail "cmake --install"; }
for prog in rspec rspec-import rspec-batch plot-spectrum design-spectrum spectrum-ratio; do
  [ -x "$prefix/p/bin/$prog" ] || fail "bin/$prog not installed"
done
# The Python tools find their shared module in the installed tree, away from
# the source tree.
for prog in plot-spectrum design-spectrum spectrum-ratio; do
  (cd "$prefix" && "$prefix/p/bin/$prog" --help >/dev/null 2>"$prefix/help.err") \
    || fail "installed $prog --help: $(cat "$prefix/help.err")"
done
(cd "$prefix" && "$prefix/p/bin/design-spectrum" --ec8 1,A,0.2 -o target.csv) \
  && [ "$(wc -l <"$prefix/target.csv")" = 301 ] || fail "installed design-spectrum wrote no target"
for prog in "$prefix"/p/bin/*; do
  name=${prog##*/}
  [ -f "$prefix/p/share/man/man1/$name.1" ] || fail "no manual page for bin/$name"
done
for page in "$src"/docs/man/*.1; do
  cmp -s "$page" "$prefix/p/share/man/man1/${page##*/}" || fail "${page##*/} not installed"
done

# The installed batch finds the installed program on PATH.
if command -v parallel >/dev/null; then
  mkdir "$prefix/run"
  cp "$src/examples/quake.dat" "$prefix/run/"
  (cd "$prefix/run" && PATH="$prefix/p/bin:$PATH" rspec-batch --out out quake.dat </dev/null 2>log) \
    || fail "installed rspec-batch: $(cat "$prefix/run/log")"
  [ "$(wc -l <"$prefix/run/out/quake.csv" 2>/dev/null)" = 301 ] || fail "installed batch made no table"
else
  echo "note: GNU parallel is not installed; the installed batch was not run"
fi
ls -R "$prefix/p"
[ "$failures" -eq 0 ]
