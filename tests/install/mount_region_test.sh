#!/usr/bin/env bash
# mount -t nbt -o ro,region through the staged helper, in a private mount
# namespace: the chunks of a region file are listed and read, the chunk links
# lead to their chunks, changes are refused, and the file stays as it was.
#   mount_region_test.sh STAGE SBINDIR FIXTURE WORK_DIR
set -euo pipefail
. "$(dirname "$0")/check_lib.sh"
. "$(dirname "$0")/mount_lib.sh"
begin_mount_test "$@"
mkdir "$work/mnt"
file=$work/r.0.0.mca mnt=$work/mnt
"$fixture" region "$file"
cp "$file" "$work/region.orig"

mount -t nbt -o ro,region "$file" "$mnt" || fail "mount -t nbt -o ro,region"
track "$mnt"
[ "$(ls "$mnt" | sort | tr '\n' ' ')" = "0 37 " ] || fail "root lists: $(ls "$mnt")"
[ "$(ls "$mnt/37" | sort | tr '\n' ' ')" = "biome xPos zPos " ] || fail "chunk 37 lists: $(ls "$mnt/37")"
[ "$(cat "$mnt/37/biome")" = forest ] && [ "$(cat "$mnt/0/biome")" = plains ] || fail "biomes"
[ "$(stat -c %Y "$mnt/37")" = 1100000000 ] || fail "chunk 37 time: $(stat -c %Y "$mnt/37")"
[ "$(readlink "$mnt/5,1")" = 37 ] && [ "$(cat "$mnt/5,1/xPos")" = 5 ] || fail "the link 5,1"
rc=0; (echo 9 > "$mnt/0/xPos") 2> "$work/stderr" || rc=$?
[ $rc != 0 ] && grep -q "Read-only file system" "$work/stderr" || fail "a write was not refused: $(cat "$work/stderr")"
[ "$(cat "$mnt/0/xPos")" = 0 ] || fail "xPos changed"
unmount "$mnt"
cmp "$file" "$work/region.orig" || fail "a read-only mount changed the file"
echo "mount -t nbt -o ro,region: chunks, links and refusals behave"
