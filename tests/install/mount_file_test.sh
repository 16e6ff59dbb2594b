#!/usr/bin/env bash
# mount -t nbt through the staged helper, in a private mount namespace: an NBT
# file mounted read-write with options, changed with the shell, unmounted and
# checked; a fake mount, a refused option, and a mount into another namespace.
#   mount_file_test.sh STAGE SBINDIR FIXTURE WORK_DIR
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
. "$(dirname "$0")/mount_lib.sh"
begin_mount_test "$@"
mkdir "$work/mnt"
file=$work/world.nbt mnt=$work/mnt
"$fixture" nbt "$file"
cp "$file" "$work/world.orig"

# Read-write, with type prefixes, a umask and zlib compression for saving.
mount -t nbt -o typeprefix,umask=022,compression=zlib "$file" "$mnt" || fail "mount -t nbt"
track "$mnt"
[ "$(findmnt -n -o SOURCE,FSTYPE "$mnt")" = "$file fuse.nbt" ] ||
  fail "mount table: $(findmnt -n -o SOURCE,FSTYPE "$mnt")"
listing=$(ls "$mnt" | sort | tr '\n' ' ')
[ "$listing" = "compound:inner int32:count int32array:ids list:items string:name " ] || fail "listing: $listing"
[ "$(stat -c %a "$mnt/int32:count")" = 644 ] && [ "$(stat -c %a "$mnt/compound:inner")" = 755 ] ||
  fail "modes: $(stat -c %a "$mnt/int32:count") $(stat -c %a "$mnt/compound:inner")"
[ "$(cat "$mnt/int32:count")" = 41 ] || fail "count reads $(cat "$mnt/int32:count")"
[ "$(cat "$mnt/list:items/.type")" = int16 ] || fail ".type reads $(cat "$mnt/list:items/.type")"
echo 42 > "$mnt/int32:count"
[ "$(cat "$mnt/int32:count")" = 42 ] || fail "count reads $(cat "$mnt/int32:count") after writing 42"
printf 'level two' > "$mnt/string:name"
echo 7 > "$mnt/int32:added"
cmp -s "$file" "$work/world.orig" || fail "the file changed while mounted"
unmount "$mnt"
saved=$("$fixture" show "$file")
expected="compression=zlib
count=42
name=level two
items/0=7
items/1=8
ids=[1,2,3]
inner/speed=1.5
added=7"
[ "$saved" = "$expected" ] || fail "saved file holds:
$saved"
cp "$file" "$work/world.saved"

# A fake mount runs nothing; a refused option mounts nothing and leaves the
# file alone; mount reports both in its own statuses.
rc=0; mount -f -t nbt "$file" "$mnt" || rc=$?
[ $rc = 0 ] && ! mountpoint -q "$mnt" && [ -z "$(burlfs_pids "$mnt")" ] || fail "mount -f: status $rc"
rc=0; mount -t nbt -o compression=lzma "$file" "$mnt" 2> "$work/stderr" || rc=$?
[ $rc = 1 ] && ! mountpoint -q "$mnt" || fail "compression=lzma: status $rc"
grep -q "Compression type lzma is not supported" "$work/stderr" || fail "no message: $(cat "$work/stderr")"
cmp -s "$file" "$work/world.saved" || fail "a refused mount changed the file"

# mount -N: the mount is made in the other namespace, not in this one.
unshare --mount --propagation private sleep 600 &
other=$! other_pid=""
cleanup_other() {
  if [ -n "$other_pid" ]; then
    nsenter -t "$other" -m umount -l "$mnt" 2> /dev/null || true
    wait_gone "$other_pid" || true
  fi
  kill "$other" 2> /dev/null || true
  cleanup
}
trap cleanup_other EXIT
while [ "$(readlink /proc/$other/ns/mnt)" = "$(readlink /proc/$$/ns/mnt)" ]; do sleep 0.05; done
mount -N "$other" -t nbt "$file" "$mnt" || fail "mount -N"
other_pid=$(burlfs_pids "$mnt")
[ -n "$other_pid" ] || fail "no burlfs for the mount in the other namespace"
inside=$(nsenter -t "$other" -m cat "$mnt/count" || true)
! mountpoint -q "$mnt" || fail "mount -N mounted in this namespace"
nsenter -t "$other" -m umount "$mnt" || fail "umount in the other namespace"
wait_gone "$other_pid"
other_pid=""
[ "$inside" = 42 ] || fail "mount -N: count read '$inside' in the other namespace"
cmp -s "$file" "$work/world.saved" || fail "the mount in the other namespace changed the file"
echo "mount -t nbt: read-write with options, fake, refused and namespace mounts behave"
