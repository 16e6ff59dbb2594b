#!/usr/bin/env bash
# Builds the small C program in consumer/ against the staged installation,
# through pkg-config or through find_package(zoviru), runs it on an NBT file
# made here, and checks the file it writes byte for byte.
#   consumer_test.sh pkg-config|cmake STAGE LIBDIR WORK_DIR C_COMPILER
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
how=$1 stage=$2 libdir=$3 work=$4 cc=$5
src=$(cd "$(dirname "$0")/consumer" && pwd)
rm -rf "$work" && mkdir -p "$work"
unset LD_LIBRARY_PATH PKG_CONFIG_PATH

case $how in
pkg-config)
  # Only the staged tree: the system's directories are not searched.
  export PKG_CONFIG_LIBDIR=$stage/$libdir/pkgconfig
  [ "$(pkg-config --modversion zoviru)" = 1.0.0 ] || fail "pkg-config finds no zoviru 1.0.0"
  # shellcheck disable=SC2046
  "$cc" -std=c11 -Wall -Wextra -Werror -o "$work/consumer" "$src/consumer.c" \
    $(pkg-config --cflags --libs zoviru) -Wl,-rpath,"$(pkg-config --variable=libdir zoviru)"
  ;;
cmake)
  cmake -S "$src" -B "$work/build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$stage" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF \
    > "$work/configure.log" || { cat "$work/configure.log"; fail "configuring the consumer"; }
  grep -q "zoviru_DIR:PATH=$stage/" "$work/build/CMakeCache.txt" || fail "find_package did not take the staged zoviru"
  cmake --build "$work/build" > "$work/build.log" || { cat "$work/build.log"; fail "building the consumer"; }
  cp "$work/build/consumer" "$work/consumer"
  ;;
*) fail "unknown way $how" ;;
esac

# The consumer uses the staged library.
found=$(ldd "$work/consumer" | awk '/libzoviru/ {print $3}')
[ "$(realpath "$found")" = "$(realpath "$stage/$libdir/libzoviru.so.1.0.0")" ] ||
  fail "the consumer loads libzoviru from '$found'"

# A root compound holding the int count 41 and the string name "abc".
root() { printf '0a0000 0300 05 636f756e74 %s 0800 04 6e616d65 0003 616263 00' "$1" | tr -d ' '; }
unhex "$(root 00000029)" | gzip -n > "$work/in.nbt"
out=$("$work/consumer" "$work/in.nbt" "$work/out.nbt")
[ "$out" = "count 42 nodes 3" ] || fail "consumer said: $out"
[ "$(head -c2 "$work/out.nbt" | hex_of)" = 1f8b ] || fail "output is not gzip"
[ "$(gzip -dc "$work/out.nbt" | hex_of)" = "$(root 0000002a)" ] || fail "output holds $(gzip -dc "$work/out.nbt" | hex_of)"
echo "consumer through $how: parsed, changed and wrote the file"
