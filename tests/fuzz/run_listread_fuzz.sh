#!/bin/sh
# Build the free-form reader's fuzz target with clang in a folder of its own
# and run it for the given number of seconds (default 60).
#   tests/fuzz/run_listread_fuzz.sh 600
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRSPEC_BENCH=OFF >/dev/null
cmake --build "$build" --target listread_fuzz -j2

corpus=$build/listread_corpus
mkdir -p "$corpus"
# A few record files to start from.
printf 'EW NS UD gal\n0 1 2 3\n0.01 1.5,-2.5\t3E2\n' >"$corpus/seed-rows"
printf "'a b' \"c\"\"d\" 3*x\r\n4*2.5\n1 2 / 5\n,,7,8\n1.5D3 .5 5. 1.5+3" >"$corpus/seed-forms"
printf "EW\nNS 'UD\\\\\nx' gal\n2*,9,9\n1.5Q3 1 2 3\n" >"$corpus/seed-lines"

cd "$build"
exec "$build/tests/fuzz/listread_fuzz" -max_total_time="$seconds" -jobs=1 -workers=1 \
  -max_len=4096 -dict="$root/tests/fuzz/listread.dict" "$corpus"
