#!/bin/bash
# In the emulated machine: makes the image's ready 32-bit Wine prefix the session folder DIR
# of cmake/wine-session.sh, then runs the command. A bind mount: nothing is copied, and the
# snapshot forgets every change at power-off.
#   with-prefix.sh DIR COMMAND [ARG...]
dir=${1:?session folder}
shift
mkdir -p "$dir" && mount --bind /var/lib/zurov-i386/session "$dir" || exit 125
exec "$@"
