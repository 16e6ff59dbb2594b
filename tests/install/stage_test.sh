#!/usr/bin/env bash
# Installs the build tree into a staging prefix with cmake --install and
# checks what arrives there: the library with its soname links, the header,
# the pkg-config file and CMake package, every program with a manual page, and
# the programs' use of the staged library.
#   stage_test.sh BUILD_DIR STAGE
# The install directories (LIBDIR, INCLUDEDIR, BINDIR, SBINDIR, MANDIR,
# DOCDIR, relative to the prefix) and the installed programs (PROGRAMS, and
# HELPER=1 when mount.nbt is installed) come from the environment.
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
build=$1 stage=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" > "$stage.log" || { cat "$stage.log"; fail "cmake --install"; }

lib=$stage/$LIBDIR
expect_file "$lib/libzoviru.so.1.0.0"
expect_link "$lib/libzoviru.so.1" libzoviru.so.1.0.0
expect_link "$lib/libzoviru.so" libzoviru.so.1
objdump -p "$lib/libzoviru.so.1.0.0" | grep -Eq 'SONAME +libzoviru\.so\.1$' || fail "soname"
expect_file "$stage/$INCLUDEDIR/zoviru.h"
cmp "$stage/$INCLUDEDIR/zoviru.h" "$source/zoviru/include/zoviru.h" || fail "header differs"
expect_file "$lib/cmake/zoviru/zoviruConfig.cmake"
expect_file "$lib/cmake/zoviru/zoviruConfigVersion.cmake"
expect_file "$lib/cmake/zoviru/zoviruTargets.cmake"
expect_file "$lib/pkgconfig/zoviru.pc"
grep -qx "prefix=$stage" "$lib/pkgconfig/zoviru.pc" || fail "zoviru.pc does not name the staging prefix"
grep -qx "$lib/pkgconfig/zoviru.pc" "$build/install_manifest.txt" || fail "zoviru.pc is not in the install manifest"
expect_file "$stage/$DOCDIR/copyright"
expect_file "$stage/$DOCDIR/changelog.gz"
expect_file "$stage/$MANDIR/man3/zoviru.3.gz"

programs=()
for p in $PROGRAMS; do programs+=("$BINDIR/$p"); done
[ "${HELPER:-0}" = 1 ] && programs+=("$SBINDIR/mount.nbt")
for rel in "${programs[@]}"; do
  program=$stage/$rel
  name=$(basename "$program")
  [ -x "$program" ] && [ ! -L "$program" ] || fail "$program is missing or not executable"
  # Every program has its manual page.
  pages=("$stage/$MANDIR"/man[18]/"$name".[18].gz)
  [ -f "${pages[0]}" ] || fail "no manual page for $name"
  gzip -dc "${pages[0]}" | cmp -s - "$source/man/$(basename "${pages[0]}" .gz)" ||
    fail "${pages[0]} is not the project's page"
  # The programs find the staged library, not another one.
  if objdump -p "$program" | grep -q 'NEEDED *libzoviru'; then
    found=$(env -u LD_LIBRARY_PATH ldd "$program" | awk '/libzoviru/ {print $3}')
    [ "$(realpath "$found")" = "$(realpath "$lib/libzoviru.so.1.0.0")" ] ||
      fail "$name loads libzoviru from '$found'"
  fi
done
# Nothing else in bin and sbin.
actual=$(cd "$stage" && { find "$BINDIR" "$SBINDIR" -type f 2>/dev/null || true; } | sort)
expected=$(printf '%s\n' "${programs[@]}" | sort)
[ "$actual" = "$expected" ] || fail "programs installed: $actual; expected: $expected"
echo "staged into $stage: library, header, pkg-config, CMake package, ${#programs[@]} programs"
