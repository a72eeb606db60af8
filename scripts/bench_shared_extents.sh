#!/usr/bin/env bash
# Runs the operations' benchmark once more on each file system with shared extents that can be
# made here (XFS with reflink, Btrfs): an image file beside the build, attached to a loop device
# and mounted. There a rewrite's unchanged head shares the old file's blocks instead of copying
# them. The loop device reads and writes the image past the page cache (direct I/O), so that the
# floors measured on it are the disk's and not a copy in memory. Needs root (a loop device and a
# mount) and the file system's mkfs; otherwise it says so and skips. Whatever happens, the
# mount, the loop device and the image go again.
#   bench_shared_extents.sh BENCH_OPERATIONS WORK_FOLDER
set -uo pipefail

bench=$1
work=$2

if [ "$(id -u)" -ne 0 ]; then
  echo "note: shared extents skipped: a loop device and a mount need root"
  exit 0
fi

status=0
for fs in xfs btrfs; do
  if ! command -v "mkfs.$fs" >/dev/null 2>&1; then
    echo "note: fs=$fs skipped: mkfs.$fs is not installed (scripts/setup.sh test installs it)"
    continue
  fi
  if ! grep -qw "$fs" /proc/filesystems && ! modprobe "$fs" 2>/dev/null; then
    echo "note: fs=$fs skipped: the kernel has no $fs"
    continue
  fi
  image="$work/extents-$fs.img"
  mountPoint="$work/extents-$fs"
  loop=""
  cleanup() {
    if mountpoint -q "$mountPoint" 2>/dev/null; then umount "$mountPoint"; fi
    if [ -n "$loop" ]; then losetup -d "$loop"; fi
    rm -f "$image"
    rmdir "$mountPoint" 2>/dev/null || true
  }
  trap cleanup EXIT INT TERM
  mkdir -p "$mountPoint"
  # Room for the two generated files, their copies and the temporary files.
  truncate -s 1G "$image"
  case "$fs" in
    xfs) made=$(mkfs.xfs -q -m reflink=1 "$image" 2>&1) ;;
    btrfs) made=$(mkfs.btrfs -q "$image" 2>&1) ;;
  esac
  if [ $? -ne 0 ] || ! loop=$(losetup --direct-io=on --find --show "$image") || ! mount "$loop" "$mountPoint"; then
    echo "note: fs=$fs skipped: cannot make or mount the image ${made:-}"
    cleanup
    trap - EXIT INT TERM
    continue
  fi
  QT_QPA_PLATFORM=offscreen "$bench" --fs "$fs" "$mountPoint/data" || status=1
  cleanup
  trap - EXIT INT TERM
done
exit $status
