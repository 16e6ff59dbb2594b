#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: exactly the expected
# files and soname links, the dependencies on the runtime packages of the C
# library, zlib and (with burlfs) libfuse 2, a pkg-config file for /usr, and
# no errors from lintian when it is installed.
#   package_test.sh BUILD_DIR WORK_DIR
# PROGRAMS (the installed programs), HELPER (1 with mount.nbt) and LIBDIR,
# MANDIR (relative to /usr) come from the environment.
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
build=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work") > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/burl_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package: ${debs[*]}"
deb=${debs[0]}

# The file list: regular files and links, as "path" or "path -> target".
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }' | sort > "$work/files"
lib=./usr/$LIBDIR man=./usr/$MANDIR
{
  echo "./usr/include/zoviru.h"
  echo "$lib/libzoviru.so.1.0.0"
  echo "$lib/libzoviru.so.1 -> libzoviru.so.1.0.0"
  echo "$lib/libzoviru.so -> libzoviru.so.1"
  echo "$lib/pkgconfig/zoviru.pc"
  for f in zoviruConfig zoviruConfigVersion zoviruTargets zoviruTargets-relwithdebinfo; do
    echo "$lib/cmake/zoviru/$f.cmake"
  done
  echo "$man/man3/zoviru.3.gz"
  echo "./usr/share/doc/burl/copyright"
  echo "./usr/share/doc/burl/changelog.gz"
  for p in $PROGRAMS; do
    echo "./usr/bin/$p"
    case $p in burlfs) echo "$man/man8/burlfs.8.gz" ;; *) echo "$man/man1/$p.1.gz" ;; esac
  done
  if [ "${HELPER:-0}" = 1 ]; then
    echo "./usr/sbin/mount.nbt"
    echo "$man/man8/mount.nbt.8.gz"
  fi
} | sort > "$work/expected"
# The build type's name is in one of the CMake files; take it from the list.
sed -i "s|zoviruTargets-relwithdebinfo.cmake|$(grep -o 'zoviruTargets-[a-z]*\.cmake' "$work/files" || echo missing)|" "$work/expected"
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the expected ones"

depends=$(dpkg-deb -f "$deb" Depends)
for pkg in libc6 zlib1g; do
  grep -Eq "(^|, )$pkg( |,|$)" <<< "$depends" || fail "Depends lacks $pkg: $depends"
done
if grep -qw burlfs <<< "$PROGRAMS"; then
  grep -Eq "(^|, )libfuse2(t64)? " <<< "$depends" || fail "Depends lacks libfuse2: $depends"
fi
dpkg-deb -f "$deb" Package Version Architecture | tee "$work/control"
grep -qx "Architecture: $(dpkg --print-architecture)" "$work/control" || fail "architecture"

# The library is registered for dpkg-shlibdeps, and ldconfig runs by trigger.
mkdir "$work/control.d" && dpkg-deb -e "$deb" "$work/control.d"
grep -qx "libzoviru 1 burl (>= 1.0.0)" "$work/control.d/shlibs" || fail "shlibs: $(cat "$work/control.d/shlibs")"
grep -qx "activate-noawait ldconfig" "$work/control.d/triggers" || fail "no ldconfig trigger"

# The pkg-config file names the package's prefix.
dpkg-deb --fsys-tarfile "$deb" | tar -xO "$lib/pkgconfig/zoviru.pc" | grep -qx "prefix=/usr" ||
  fail "zoviru.pc in the package does not name /usr"

# The package's programs run from its tree, with its own library.
mkdir "$work/root" && dpkg-deb -x "$deb" "$work/root"
if grep -qw burlseed <<< "$PROGRAMS" && grep -qw burlprint <<< "$PROGRAMS"; then
  "$work/root/usr/bin/burlseed" -L packaged "$work/seeded.nbt" || fail "the packaged burlseed"
  printed=$("$work/root/usr/bin/burlprint" "$work/seeded.nbt" | head -n1)
  [ "$printed" = 'TAG_Compound("packaged") {' ] || fail "the packaged burlprint printed: $printed"
  [ "$(env -u LD_LIBRARY_PATH ldd "$work/root/usr/bin/burlprint" | awk '/libzoviru/ {print $3}')" = \
    "$work/root/usr/bin/../$LIBDIR/libzoviru.so.1" ] || fail "the packaged burlprint uses another libzoviru"
fi

if command -v lintian > /dev/null; then
  lintian --fail-on error "$deb" 2>/dev/null | tee "$work/lintian" || fail "lintian reports errors"
else
  echo "lintian is not installed; its check was left out"
fi
echo "package $(basename "$deb") holds $(wc -l < "$work/files") files"
