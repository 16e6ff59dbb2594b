#!/usr/bin/env bash
# Lines of /etc/fstab (bind-mounted over it in a private mount namespace)
# mount an NBT file and a region file by their mount points through the
# staged helper, with all of burlfs's mount options and some of mount(8)'s
# own; the changes are saved into the write files at unmount.
#   mount_fstab_test.sh STAGE SBINDIR FIXTURE WORK_DIR
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
. "$(dirname "$0")/mount_lib.sh"
begin_mount_test "$@"
mkdir "$work/nbt" "$work/region"
"$fixture" nbt "$work/a.nbt" && cp "$work/a.nbt" "$work/a.orig"
"$fixture" region "$work/r.mca" && cp "$work/r.mca" "$work/r.orig"
cat > "$work/fstab" <<FSTAB
# NBT and region files of the test
$work/a.nbt $work/nbt nbt rw,typeprefix,umask=027,writefile=$work/a-saved.nbt,compression=gzip,allow_other,nofail,noauto,_netdev 0 0
$work/r.mca $work/region nbt region,writefile=$work/r-saved.mca,compression=zlib,chunksymlink=visible,arraybyteorder=big,umask=022,allow_other,noauto,x-test=1 0 0
FSTAB
mount --bind "$work/fstab" /etc/fstab

mount "$work/nbt" || fail "mount of the NBT line"
track "$work/nbt"
grep -qw allow_other <<< "$(findmnt -n -o FS-OPTIONS "$work/nbt")" || fail "allow_other did not reach FUSE"
[ "$(stat -c %a "$work/nbt/int32:count")" = 640 ] && [ "$(stat -c %a "$work/nbt/compound:inner")" = 750 ] ||
  fail "umask=027 modes: $(stat -c %a "$work/nbt/int32:count") $(stat -c %a "$work/nbt/compound:inner")"
echo 43 > "$work/nbt/int32:count"
unmount "$work/nbt"
cmp -s "$work/a.nbt" "$work/a.orig" || fail "the NBT file changed; it should have been saved elsewhere"
saved=$("$fixture" show "$work/a-saved.nbt" | head -n2 | tr '\n' ' ')
[ "$saved" = "compression=gzip count=43 " ] || fail "write file holds: $saved"

before=$(date +%s)
mount "$work/region" || fail "mount of the region line"
track "$work/region"
[ "$(ls "$work/region" | sort | tr '\n' ' ')" = "0 0,0 37 5,1 " ] || fail "root lists: $(ls "$work/region")"
[ "$(cat "$work/region/5,1/xPos")" = 5 ] || fail "xPos through the link 5,1"
echo 6 > "$work/region/5,1/xPos"
unmount "$work/region"
cmp -s "$work/r.mca" "$work/r.orig" || fail "the region file changed; it should have been saved elsewhere"
# The write file receives the location table as it was, chunk 0 as it was,
# and chunk 37 changed, now zlib-compressed (it was gzip), with the time of
# its change.
cmp -n 4096 "$work/r-saved.mca" "$work/r.orig" || fail "the location table was not copied"
[ "$("$fixture" show-chunk "$work/r-saved.mca" 0)" = "$("$fixture" show-chunk "$work/r.orig" 0)" ] ||
  fail "chunk 0 was not copied as it was"
chunk37=$("$fixture" show-chunk "$work/r-saved.mca" 37) || fail "chunk 37 of the write file"
grep -qx "compression=2" <<< "$chunk37" && grep -qx "stream=zlib" <<< "$chunk37" &&
  grep -qx "xPos=6" <<< "$chunk37" || fail "chunk 37 saved as: $chunk37"
stamp=$(sed -n 's/^timestamp=//p' <<< "$chunk37")
[ "$stamp" -ge "$before" ] || fail "chunk 37's time $stamp is older than the mount"
echo "fstab lines mount NBT and region files with their options, and save into the write files"
