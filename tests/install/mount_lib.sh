# What the mount tests share: a private mount namespace, mount(8) finding the
# staged helper, and mounts that are always unmounted, with burlfs waited for.
# Sourced after check_lib.sh.

# skip REASON: the test cannot run here (exit status 77), unless file-system
# tests are required (BURL_REQUIRE_FUSE=1), when that is a failure.
skip() {
  [ "${BURL_REQUIRE_FUSE:-0}" = 1 ] && fail "cannot run: $*"
  echo "SKIP: $*"
  exit 77
}

# enter_namespace ARGS...: runs the calling script again, with ARGS, in a
# mount namespace of its own whose mounts do not propagate to the host.
enter_namespace() {
  [ -n "${BURL_IN_NAMESPACE:-}" ] && return
  [ "$(id -u)" = 0 ] || skip "needs root"
  [ -c /dev/fuse ] || skip "no /dev/fuse"
  unshare --mount --propagation private true 2> /dev/null || skip "no mount namespaces"
  BURL_IN_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
}

# use_staged_helper STAGE_HELPER WORK_DIR: makes /sbin/mount.nbt lead to the
# staged helper, by a symbolic link in a layer over /sbin, so that the helper
# finds the staged burlfs beside itself.
use_staged_helper() {
  local layer=$2/sbin-layer sbin
  sbin=$(realpath /sbin)
  mkdir -p "$layer"
  ln -sf "$1" "$layer/mount.nbt"
  mount -t overlay overlay -o "lowerdir=$layer:$sbin" "$sbin" 2> /dev/null || skip "no overlay file system"
  [ "$(realpath /sbin/mount.nbt)" = "$(realpath "$1")" ] || fail "/sbin/mount.nbt is not the staged helper"
}

# burlfs_pids MOUNT_POINT: the burlfs processes whose last argument is it.
burlfs_pids() {
  local p args
  for p in /proc/[0-9]*; do
    args=$({ tr '\0' '\n' < "$p/cmdline"; } 2> /dev/null) || continue
    [ "$(head -n1 <<< "$args")" = burlfs ] && [ "$(tail -n1 <<< "$args")" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}

mounted=() served_by=()

# track MOUNT_POINT: notes a mount made by the test and the burlfs serving it.
track() {
  mountpoint -q "$1" || fail "$1 is not mounted"
  local pid
  pid=$(burlfs_pids "$1")
  [ -n "$pid" ] && [ "$(wc -w <<< "$pid")" = 1 ] || fail "no single burlfs serves $1: '$pid'"
  mounted+=("$1") served_by+=("$pid")
}

# gone PID: the process has ended (a zombie counts as ended).
gone() {
  [ ! -e "/proc/$1" ] || [ "$(awk '{print $3}' "/proc/$1/stat" 2> /dev/null)" = Z ]
}

# wait_gone PID: waits for burlfs to end after its unmount, in steps of a
# tenth of a second; after a minute it is killed and the test fails.
wait_gone() {
  local n=0
  while ! gone "$1"; do
    sleep 0.1
    n=$((n + 1))
    if [ $n -ge 600 ]; then
      kill -9 "$1" 2> /dev/null || true
      fail "burlfs $1 did not end after its unmount"
    fi
  done
}

# unmount MOUNT_POINT: unmounts a tracked mount and waits until its burlfs has
# saved and ended.
unmount() {
  local i
  for i in "${!mounted[@]}"; do
    [ "${mounted[$i]}" = "$1" ] || continue
    umount "$1" || fail "umount $1"
    wait_gone "${served_by[$i]}"
    unset "mounted[$i]" "served_by[$i]"
    return 0
  done
  fail "$1 was not mounted by the test"
}

# Whatever happens, nothing stays mounted and no burlfs keeps running.
cleanup() {
  local i
  for i in "${!mounted[@]}"; do
    umount -l "${mounted[$i]}" 2> /dev/null || true
    wait_gone "${served_by[$i]}" 2> /dev/null || true
  done
}
trap cleanup EXIT

# begin_mount_test STAGE SBINDIR FIXTURE WORK_DIR: the start of every mount
# test: into a namespace of its own, an empty work directory (work, made
# absolute), the staged helper in use; sets stage and fixture.
begin_mount_test() {
  enter_namespace "$@"
  stage=$1 fixture=$3 work=$4
  rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work")
  use_staged_helper "$stage/$2/mount.nbt" "$work"
}
