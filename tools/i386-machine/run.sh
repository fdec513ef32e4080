#!/usr/bin/env bash
# Runs one command in the emulated i386 machine (32-bit Debian with 32-bit Wine) and exits
# with its status; its output shows here as it comes.
#   run.sh [--timeout SECONDS] [--share DIR]... --log DIR -- COMMAND [ARG...]
# The machine starts from the cached image (image.sh builds it when missing) opened as a
# snapshot, so every run starts clean and changes nothing in it. The project folder, each
# --share DIR and the --log folder are shared with it over virtio-9p at their own paths; the
# command runs in the current folder. QEMU is stopped by its process id at the end, on
# Ctrl-C, and after SECONDS (default 3600).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
project=$(cd "$here/../.." && pwd)
. "$here/machine.sh"

timeout=3600 logdir="" shares=("$project")
while [ $# -gt 0 ]; do
  case "$1" in
    --timeout) timeout=$2; shift 2 ;;
    --share) shares+=("$(cd "$2" && pwd)"); shift 2 ;;
    --log) mkdir -p "$2"; logdir=$(cd "$2" && pwd); shift 2 ;;
    --) shift; break ;;
    *) echo "usage: $0 [--timeout S] [--share DIR]... --log DIR -- COMMAND [ARG...]" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] && [ -n "$logdir" ] || { echo "$0: a --log folder and a command are needed" >&2; exit 2; }

under_share() {
  local s
  for s in "${shares[@]}"; do case "$1/" in "$s"/*) return 0 ;; esac; done
  return 1
}
under_share "$logdir" || shares+=("$logdir")
under_share "$PWD" || shares+=("$PWD")

# ZUROV_I386_IMAGE: an image folder to use instead of the cached one (to try a changed image).
image=${ZUROV_I386_IMAGE:-$(bash "$here/image.sh")}

# The command, run by guest-init.sh from this folder.
rm -f "$logdir/status"
{
  printf 'cd %q || exit 125\n' "$PWD"
  printf 'exec'; printf ' %q' "$@"; printf '\n'
} >"$logdir/command.sh"

fsdev=() list="" i=0
for s in "${shares[@]}"; do
  case "$s" in *[[:space:],:]*) echo "$0: cannot share a path with a space, comma or colon: $s" >&2; exit 2 ;; esac
  fsdev+=(-fsdev "local,id=fs$i,path=$s,security_model=none"
          -device "virtio-9p-pci,fsdev=fs$i,mount_tag=share$i")
  list+="${list:+,}share$i:$s"
  i=$((i + 1))
done

# A machine left running by a run of this folder that was killed outright.
if [ -f "$logdir/qemu.pid" ]; then
  old=$(cat "$logdir/qemu.pid")
  if tr "\\0" " " 2>/dev/null <"/proc/$old/cmdline" | grep -q "qemu-system-i386 .*$logdir/"; then
    echo "i386 machine: stopping the one a killed run left ($old)" >&2
    MACHINE_PID=$old machine_stop
  fi
  rm -f "$logdir/qemu.pid"
fi

machine_initrd "$image/initrd" "$here/initrd-init.sh" "$logdir/initrd.img"
trap 'machine_stop' EXIT
trap 'echo "i386 machine: interrupted; stopping it" >&2; exit 130' INT TERM
machine_start "$image" "$logdir/initrd.img" "$logdir" \
  "root=/dev/vda zurov.init=$here/guest-init.sh zurov.shares=$list zurov.run=$logdir zurov.timeout=$timeout" \
  -drive "file=$image/root.img,format=raw,if=virtio,snapshot=on" "${fsdev[@]}"
tail -n +1 -f --pid="$MACHINE_PID" "$logdir/output.log" &
tailer=$!
if ! machine_wait "$timeout"; then
  wait "$tailer" 2>/dev/null || true
  echo "i386 machine: stopped after $timeout s" >&2
  machine_console_tail "$logdir"
  exit 124
fi
wait "$tailer" 2>/dev/null || true
if [ ! -f "$logdir/status" ]; then
  echo "i386 machine: it stopped without finishing the command" >&2
  machine_console_tail "$logdir"
  exit 1
fi
exit "$(cat "$logdir/status")"
