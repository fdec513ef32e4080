#!/usr/bin/env bash
# Runs a Windows program under the Wine 10 of root.sh, on a display of this machine, with
# folders of this machine at their own paths:
#   run.sh [--display :N] [--bind DIR]... [--] PROGRAM [ARG...]
#   run.sh [--display :N] [--bind DIR]... --server [ARG...]
# PROGRAM runs under that root's 64-bit Wine loader; with --server, that root's wineserver
# runs with the arguments instead. The environment is passed on as it is (WINEPREFIX, ...);
# the command runs in the current folder when a bound folder holds it. It needs root (a mount
# namespace and chroot): /proc, the X socket folder and each DIR are mounted into the root
# in a mount namespace of the program's own, so every mount goes with its last process,
# however it ends. The process keeps this script's process id (each step execs the next).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { echo "usage: $0 [--display :N] [--bind DIR]... [--server] [--] PROGRAM [ARG...]" >&2; exit 2; }
binds=() server=""
while [ $# -gt 0 ]; do
  case "$1" in
    --display) export DISPLAY=$2; shift 2 ;;
    --bind)
      [ -d "$2" ] || { echo "wine10: no folder $2" >&2; exit 2; }
      case "$2" in *[[:space:]]*) echo "wine10: cannot bind a path with a space: $2" >&2; exit 2 ;; esac
      binds+=("$(cd "$2" && pwd -P)"); shift 2 ;;
    --server) server=1; shift; break ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || [ -n "$server" ] || usage
[ "$(id -u)" -eq 0 ] || { echo "wine10: running Wine 10 needs root (a mount namespace and chroot)" >&2; exit 1; }
root=${ZUROV_WINE10_ROOT:-$(bash "$here/root.sh")}
if [ -n "$server" ]; then set -- /usr/lib/wine/wineserver "$@"; else set -- /usr/lib/wine/wine64 "$@"; fi

export ZUROV_WINE10_ROOT=$root ZUROV_WINE10_BINDS="${binds[*]:-}"
# --norc: a browser starts a native-messaging host with a socket for its input, and bash then
# reads the system bashrc, which fails under -u.
exec unshare --mount --propagation private -- bash --norc -euo pipefail -c '
  root=$ZUROV_WINE10_ROOT
  mount -t proc proc "$root/proc"
  mkdir -p "$root/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
  for dir in $ZUROV_WINE10_BINDS; do mkdir -p "$root$dir" && mount --bind "$dir" "$root$dir"; done
  here=/
  for dir in $ZUROV_WINE10_BINDS; do case "$PWD/" in "$dir"/*) here=$PWD ;; esac; done
  unset ZUROV_WINE10_ROOT ZUROV_WINE10_BINDS
  exec chroot "$root" /usr/bin/env --chdir="$here" PATH=/usr/local/bin:/usr/bin:/bin "$@"
' run.sh "$@"
