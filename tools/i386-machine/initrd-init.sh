#!/bin/sh
# /init of the small initrd: loads the virtio, ext4 and 9p modules, mounts the root disk, the
# shared folders and, when asked, the network named on the kernel command line, then hands
# over to the program named by zurov.init.
#   zurov.init=PATH  zurov.shares=TAG:PATH,...  zurov.net=1
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /sys /dev /newroot
mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc
mount -t sysfs sysfs /sys

fail() { echo "initrd: $*"; sleep 2; poweroff -f; }

while read -r m; do insmod "/lib/modules/$m.ko" || fail "cannot load $m"; done </modules

init=/sbin/init shares="" net=""
for arg in $(cat /proc/cmdline); do
  case "$arg" in
    zurov.init=*) init=${arg#*=} ;;
    zurov.shares=*) shares=${arg#*=} ;;
    zurov.net=1) net=1 ;;
  esac
done

i=0
while [ ! -b /dev/vda ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
mount -t ext4 -o rw /dev/vda /newroot || fail "cannot mount the root disk"

# cache=loose: Wine reads a program's sections with one pread into fresh memory, and without
# the page cache the end of a 1 MB section came back as zeros over 9p.
for s in $(echo "$shares" | tr , ' '); do
  tag=${s%%:*} path=${s#*:}
  mkdir -p "/newroot$path"
  mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose "$tag" "/newroot$path" ||
    fail "cannot mount $path"
done

if [ -n "$net" ]; then
  # QEMU's user-mode network: fixed addresses, no DHCP.
  ip link set lo up
  ip link set eth0 up
  ip addr add 10.0.2.15/24 dev eth0
  ip route add default via 10.0.2.2
fi

umount /proc /sys
mount --move /dev /newroot/dev
exec switch_root /newroot "$init"
