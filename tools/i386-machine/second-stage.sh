#!/bin/bash
# The first process of the emulated machine while its image is built, run once: debootstrap's
# second stage, the packages of packages.txt from this machine's Debian archive, and a ready
# 32-bit Wine prefix that every run then starts from. Prints "zurov-image: ..." progress lines
# on the console and powers the machine off; image.sh reads the last one.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export DEBIAN_FRONTEND=noninteractive
say() { echo "zurov-image: $* ($SECONDS s in the machine)"; }
off() { sync; mount -o remount,ro / 2>/dev/null; echo o >/proc/sysrq-trigger; sleep 60; }
fail() { say "FAILED: $*"; off; exit 1; }

# debootstrap unmounts /proc and /sys when it ends: mounted again after it.
mounts() {
  mountpoint -q /proc || mount -t proc proc /proc
  mountpoint -q /sys || mount -t sysfs sysfs /sys
  mkdir -p /dev/pts && { mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts; }
}
mounts
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run

# Everything is written once, into a disk that is thrown away if the build stops: dpkg need
# not sync each file. Documentation is of no use in this machine.
cat >/etc/dpkg/dpkg.cfg.d/zurov-image <<'CFG'
force-unsafe-io
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
path-exclude=/usr/share/locale/*
CFG

say "debootstrap second stage"
if ! /debootstrap/debootstrap --second-stage; then
  mounts
  tail -n 30 /debootstrap/debootstrap.log
  fail "debootstrap --second-stage"
fi
mounts

say "packages"
echo "nameserver 10.0.2.3" >/etc/resolv.conf
rm -f /etc/apt/sources.list /etc/apt/sources.list.d/*
cp /zurov-image/sources.list /etc/apt/sources.list
# The archive may be a dated snapshot: its Release files must not expire on us.
printf 'Acquire::Check-Valid-Until "false";\nAcquire::Retries "3";\n' >/etc/apt/apt.conf.d/50zurov
printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod 755 /usr/sbin/policy-rc.d
# A failed index (a mirror mid-sync) is tried again, then passed over when every package can
# still be installed without it; apt-install.sh names what cannot.
bash /zurov-image/apt-install.sh $(grep -v '^#' /zurov-image/packages.txt) || fail "installing the packages"
apt-get clean
rm -rf /var/lib/apt/lists/* /usr/sbin/policy-rc.d
sed -i '/^force-unsafe-io$/d' /etc/dpkg/dpkg.cfg.d/zurov-image

say "Wine prefix"
prefix=/var/lib/zurov-i386/session/prefix
mkdir -p "$(dirname "$prefix")"
Xvfb :9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 3
DISPLAY=:9 WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  /usr/lib/wine/wine wineboot -i </dev/null || fail "wineboot"
WINEPREFIX=$prefix /usr/lib/wine/wineserver -w
kill "$xvfb"
[ -f "$prefix/system.reg" ] || fail "no Wine prefix"

echo zurov-i386 >/etc/hostname
echo "/dev/vda / ext4 defaults 0 1" >/etc/fstab
rm -rf /zurov-image
say "complete"
off
