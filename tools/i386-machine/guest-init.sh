#!/bin/bash
# The first process of the emulated machine when it runs a command for run.sh: mounts what
# a Debian system and Wine need, runs the command written in the run folder (zurov.run) with
# its output on the second serial port, writes its exit status beside it and powers off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root
export LANG=C.UTF-8 TERM=dumb
# The 32-bit Wine loader for cmake/wine-run.sh and cmake/wine-session.sh.
export ZUROV_WINE=/usr/lib/wine/wine

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
hostname zurov-i386
ip link set lo up 2>/dev/null || busybox ip link set lo up

run="" limit=3600
for arg in $(cat /proc/cmdline); do
  case "$arg" in
    zurov.run=*) run=${arg#*=} ;;
    zurov.timeout=*) limit=${arg#*=} ;;
  esac
done
stty -F /dev/ttyS1 raw -echo
exec </dev/null >/dev/ttyS1 2>&1

echo "i386 machine: up after $(cut -d' ' -f1 /proc/uptime) s"
if [ -f "$run/command.sh" ]; then
  # Also bounded here, should run.sh itself have been killed.
  timeout -k 10 "$limit" bash "$run/command.sh"
  echo $? >"$run/status"
else
  echo "i386 machine: no command in ${run:-(no run folder)}"
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
