#!/usr/bin/env bash
# The mount helper as a program, with a stand-in burlfs that records how it
# was run: it runs the burlfs beside it (also when reached through a symbolic
# link), hands on the translated arguments, runs nothing for a fake mount,
# enters a namespace it is given, and turns burlfs's exit statuses into
# mount(8)'s.
#   helper_test.sh HELPER WORK_DIR
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
helper=$1 work=$2
rm -rf "$work" && mkdir -p "$work/sbin" "$work/bin" "$work/elsewhere"
cp "$helper" "$work/sbin/mount.nbt"
cat > "$work/bin/burlfs" <<STANDIN
#!/bin/sh
for a in "\$@"; do echo "\$a"; done > "$work/ran"
exit \$(cat "$work/status")
STANDIN
chmod +x "$work/bin/burlfs"
ln -s "$work/sbin/mount.nbt" "$work/elsewhere/mount.nbt"

# run STATUS ARGS...: runs the helper with the stand-in exiting with STATUS;
# sets rc and what the stand-in received (empty: it did not run).
run() {
  echo "$1" > "$work/status"; shift
  rm -f "$work/ran"
  rc=0; "$work/elsewhere/mount.nbt" "$@" 2> "$work/stderr" || rc=$?
  received=$( [ -f "$work/ran" ] && cat "$work/ran" || true)
}
lines() { printf '%s\n' "$@"; }

run 0 /d/x.nbt /m -v -o rw,typeprefix,nofail
[ $rc = 0 ] || fail "mount: status $rc"
[ "$received" = "$(lines -v -o rw,typeprefix -o fsname=/d/x.nbt,subtype=nbt -- /d/x.nbt /m)" ] ||
  fail "burlfs received: $received"

run 0 /d/x.nbt /m -f -o rw
[ $rc = 0 ] && [ -z "$received" ] || fail "fake mount: status $rc, burlfs ran: $received"

run 255 /d/x.nbt /m -o rw,compression=lzma
[ $rc = 1 ] && [ -n "$received" ] || fail "refused by burlfs: status $rc"
run 1 /d/x.nbt /m -o rw
[ $rc = 32 ] || fail "failed in burlfs: status $rc"
run 0 /d/x.nbt /m -o ro,remount
[ $rc = 1 ] && [ -z "$received" ] && grep -q remount "$work/stderr" || fail "remount: status $rc"
run 0 /d/x.nbt
[ $rc = 1 ] && [ -z "$received" ] && grep -q Usage "$work/stderr" || fail "one name: status $rc"

# A namespace: its own mount namespace can always be entered (as root); one
# that does not exist fails the mount before burlfs runs.
if [ "$(id -u)" = 0 ]; then
  run 0 /d/x.nbt /m -o rw -N /proc/$$/ns/mnt
  [ $rc = 0 ] && [ -n "$received" ] || fail "namespace: status $rc, $(cat "$work/stderr")"
fi
run 0 /d/x.nbt /m -o rw -N "$work/no-such-namespace"
[ $rc = 32 ] && [ -z "$received" ] || fail "missing namespace: status $rc"

# Without burlfs beside it, the helper fails as a mount failure.
rm "$work/bin/burlfs"
run 0 /d/x.nbt /m -o rw
[ $rc = 32 ] && grep -q "cannot run $work/sbin/../bin/burlfs" "$work/stderr" || fail "missing burlfs: status $rc, $(cat "$work/stderr")"
echo "the helper runs, translates and reports as it should"
