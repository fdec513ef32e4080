#!/usr/bin/env bash
# Prints the folder of the emulated i386 machine's image, building it first when it is
# missing. The image is made of Debian packages only: the root disk (debootstrap's first
# stage here, its second stage and the packages of packages.txt inside the machine, then a
# ready 32-bit Wine prefix), the kernel of Debian's 686-pae kernel package, and busybox and
# the kernel modules that the initrd loads.
#
# It is cached outside the clone, under ZUROV_I386_CACHE (default /var/cache/zurov-i386),
# in a folder named by a hash of this script, second-stage.sh, packages.txt and
# cmake/apt-install.sh, so every clone on the machine shares it. One build at a time (a lock);
# a build is made in a .partial folder and renamed when complete, so an interrupted one is
# never used.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/machine.sh"
cache=${ZUROV_I386_CACHE:-/var/cache/zurov-i386}
key=$(cat "$here/image.sh" "$here/second-stage.sh" "$here/packages.txt" "$here/../../cmake/apt-install.sh" |
  sha256sum | cut -c1-16)
image=$cache/$key

complete() { [ -f "$image/complete" ] && [ -s "$image/root.img" ] && [ -s "$image/vmlinuz" ] &&
  [ -s "$image/initrd/modules" ]; }
if complete; then
  touch "$image/complete" 2>/dev/null || true  # when it was last used
  echo "$image"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "i386 machine: building its image needs root (debootstrap); run this once as root" >&2
  exit 1
fi
mkdir -p "$cache"
exec 9>"$cache/lock"
if ! flock -n 9; then
  echo "i386 machine: another build of the image is running; waiting for it..." >&2
  flock 9
fi
if complete; then echo "$image"; exit 0; fi

# Only the holder of the lock builds: any .partial folder is left by an interrupted build,
# and an image folder that is not complete lost a file.
rm -rf "$cache"/*.partial "$image"
free_kb=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt 6000000 ]; then
  echo "i386 machine: the image needs about 6 GB free in $cache" >&2
  exit 1
fi
work=$image.partial
mkdir -p "$work"
log=$work/build.log
started=$SECONDS
step() { echo "i386 machine: $* ($((SECONDS - started)) s)" >&2; }
die() { echo "i386 machine: $*; see $log" >&2; exit 1; }
trap 'machine_stop' EXIT
trap 'exit 130' INT TERM

# The Debian archive and release this machine itself uses; debootstrap takes one source.
. /etc/os-release
suite=$VERSION_CODENAME
mapfile -t sources < <(apt-get indextargets --format '$(SITE) $(RELEASE) $(COMPONENT)' \
  'Created-By: Packages' | awk -v s="$suite" '$2 == s || index($2, s "-") == 1' | awk '!seen[$0]++')
[ ${#sources[@]} -gt 0 ] || die "no Debian source for $suite in this machine's apt sources"
mirror=$(printf '%s\n' "${sources[@]}" | awk -v s="$suite" '$2 == s { print $1; exit }')
[ -n "$mirror" ] || die "no source of $suite itself in this machine's apt sources"

step "building the image in $work (about ten minutes); first stage from $mirror"
root=$work/root
debootstrap --foreign --arch=i386 --variant=minbase --include=busybox-static \
  "$suite" "$root" "$mirror" >>"$log" 2>&1 || die "debootstrap failed"
# debootstrap --foreign may leave /proc as a link to the host's; the machine mounts its own.
if [ -L "$root/proc" ]; then rm "$root/proc"; mkdir "$root/proc"; fi

# The kernel: Debian's 686-pae package from the archive index debootstrap fetched and checked.
step "kernel package"
index=$(ls "$root"/var/lib/apt/lists/*_main_binary-i386_Packages | head -n1)
field() {  # field PACKAGE NAME: a field of PACKAGE's stanza in the index
  awk -v RS= -v p="$1" '$0 ~ "(^|\n)Package: " p "\n"' "$index" | sed -n "s/^$2: //p" | head -n1
}
kpkg=$(field linux-image-686-pae Depends | sed 's/[ ,(].*//')
kfile=$(field "$kpkg" Filename)
ksum=$(field "$kpkg" SHA256)
[ -n "$kfile" ] && [ -n "$ksum" ] || die "no $kpkg in the archive index"
curl -fsS --retry 3 -o "$work/kernel.deb" "$mirror/$kfile" || die "cannot fetch $kfile"
echo "$ksum  $work/kernel.deb" | sha256sum -c --quiet - || die "$kfile: wrong checksum"
dpkg-deb -x "$work/kernel.deb" "$work/kernel"
cp "$work"/kernel/boot/vmlinuz-* "$work/vmlinuz"

# The initrd's files: busybox, and the modules for the disk, ext4, 9p, the network and their
# dependencies (from each module's depends= field), in loading order.
tree=$work/initrd
mkdir -p "$tree/bin" "$tree/lib/modules"
dpkg-deb -x "$(ls "$root"/var/cache/apt/archives/busybox-static_*.deb)" "$work/busybox"
cp "$work/busybox/bin/busybox" "$tree/bin/busybox"
ln -s busybox "$tree/bin/sh"
moddir=$(ls -d "$work"/kernel/lib/modules/*)
declare -A loaded=()
add_module() {
  local name=$1 file dep
  [ -n "${loaded[$name]:-}" ] && return 0
  file=$(find "$moddir/kernel" -name "$name.ko" -o -name "${name//_/-}.ko" | head -n1)
  [ -n "$file" ] || die "kernel module $name not found"
  loaded[$name]=1
  for dep in $(tr '\0' '\n' <"$file" | sed -n 's/^depends=//p' | head -n1 | tr , ' '); do
    add_module "$dep"
  done
  cp "$file" "$tree/lib/modules/$name.ko"
  echo "$name" >>"$tree/modules"
}
for m in virtio_pci virtio_blk crc32c_generic ext4 9pnet_virtio 9p virtio_net; do add_module "$m"; done
rm -rf "$work/kernel" "$work/kernel.deb" "$work/busybox"

# What the second stage needs: the script, the package list, the apt sources of this machine.
mkdir -p "$root/zurov-image"
cp "$here/second-stage.sh" "$here/packages.txt" "$here/../../cmake/apt-install.sh" "$root/zurov-image/"
chmod 755 "$root/zurov-image/second-stage.sh"
printf '%s\n' "${sources[@]}" | awk '{ print "deb " $0 }' >"$root/zurov-image/sources.list"

step "root disk"
truncate -s 8G "$work/root.img"
mkfs.ext4 -q -F -L zurov-i386 -d "$root" "$work/root.img" >>"$log" 2>&1 || die "mkfs.ext4 failed"
rm -rf "$root"

step "second stage and packages, inside the machine"
machine_initrd "$tree" "$here/initrd-init.sh" "$work/initrd.img"
machine_start "$work" "$work/initrd.img" "$work" \
  "root=/dev/vda zurov.net=1 zurov.init=/zurov-image/second-stage.sh" \
  -drive "file=$work/root.img,format=raw,if=virtio,cache=unsafe" \
  -netdev user,id=net0 -device virtio-net-pci,netdev=net0,romfile=
tail -n +1 -f --pid="$MACHINE_PID" "$work/console.log" 2>/dev/null | grep --line-buffered '^zurov-image:' >&2 &
if ! machine_wait 2400; then machine_console_tail "$work"; die "the second stage took over 40 minutes"; fi
wait
cat "$work/console.log" >>"$log"
if grep -q '^zurov-image: FAILED' "$work/console.log" ||
   ! grep -q '^zurov-image: complete' "$work/console.log"; then
  machine_console_tail "$work"
  die "the second stage did not complete"
fi
rm -f "$work/initrd.img" "$work/console.log" "$work/output.log" "$work/qemu.log" "$work/qemu.pid"

date -u +%FT%TZ >"$work/complete"
mv "$work" "$image"
step "image ready: $image ($(du -sh "$image" | cut -f1))"
# Images of older scripts that no clone has used for a week.
find "$cache" -mindepth 2 -maxdepth 2 -name complete -mtime +7 -printf '%h\n' |
  while read -r old; do [ "$old" = "$image" ] || rm -rf "$old"; done
echo "$image"
