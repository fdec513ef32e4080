#!/usr/bin/env bash
# Prints the folder of the Wine 10 root: a Debian 13 (trixie) system with Debian's Wine 10,
# built once per machine, beside this machine's own Debian 12 and its Wine 8 (tools/wine10/
# run.sh runs Windows programs in it). Debian 12 cannot install Wine 10 (its wine64 needs a
# newer C library), and only Wine 10 shows what one process draws in another's window.
#
# It is cached outside the clone, under ZUROV_WINE10_CACHE (default /var/cache/zurov-wine10),
# in a folder named by a hash of this script, packages.txt and cmake/apt-install.sh, so every
# clone on the machine shares it. One build at a time (a lock); a build is made in a .partial
# folder and renamed when complete, so an interrupted one is never used. Building needs root
# and debootstrap (about three minutes and 1.1 GB); everything it mounts lives in a mount
# namespace of its own, gone when the build ends, however it ends.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${ZUROV_WINE10_CACHE:-/var/cache/zurov-wine10}
key=$(cat "$here/root.sh" "$here/packages.txt" "$here/../../cmake/apt-install.sh" | sha256sum | cut -c1-16)
root=$cache/$key

complete() { [ -f "$root.complete" ] && [ -x "$root/usr/lib/wine/wine64" ]; }
if complete; then
  touch "$root.complete" 2>/dev/null || true  # when it was last used
  echo "$root"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "wine10: building its root needs root (debootstrap, chroot); run this once as root" >&2
  exit 1
fi
command -v debootstrap >/dev/null || { echo "wine10: debootstrap is missing (make deps)" >&2; exit 1; }
. "$here/../../cmake/cache-folder.sh"
cache_take "$cache" "$root" "wine10: another build of the root is running; waiting for it..."
rm -f "$root.complete"
free_kb=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt 3000000 ]; then
  echo "wine10: the root needs about 3 GB free in $cache" >&2
  exit 1
fi
work=$root.partial
mkdir -p "$work"
log=$cache/$key.log
: >"$log"
started=$SECONDS
step() { echo "wine10: $* ($((SECONDS - started)) s)" >&2; }
die() { echo "wine10: $*; see $log" >&2; exit 1; }

# This machine's Debian archive sites, each source's suite taken to trixie's (bookworm ->
# trixie, bookworm-security -> trixie-security, ...).
. /etc/os-release
mapfile -t sources < <(apt-get indextargets --format '$(SITE) $(RELEASE)' 'Created-By: Packages' |
  awk -v s="$VERSION_CODENAME" '$2 == s || index($2, s "-") == 1 { sub("^" s, "trixie", $2); print $1, $2, "main" }' |
  awk '!seen[$0]++')
mirror=$(printf '%s\n' "${sources[@]}" | awk '$2 == "trixie" { print $1; exit }')
[ -n "$mirror" ] || die "no Debian source for $VERSION_CODENAME in this machine's apt sources"

# The build, in a private mount namespace: debootstrap mounts /proc and /sys in the new root,
# and the package install /proc; a failure anywhere leaves none of them behind.
step "building the root in $work (about three minutes); debootstrap from $mirror"
export ZUROV_WINE10_WORK=$work ZUROV_WINE10_MIRROR=$mirror ZUROV_WINE10_PACKAGES=$here/packages.txt
export ZUROV_WINE10_APT_INSTALL=$here/../../cmake/apt-install.sh ZUROV_WINE10_SOURCES=$cache/$key.sources
printf 'deb %s\n' "${sources[@]}" >"$cache/$key.sources"
unshare --mount --propagation private bash -euo pipefail -c '
  root=$ZUROV_WINE10_WORK
  debootstrap --variant=minbase trixie "$root" "$ZUROV_WINE10_MIRROR"
  mv "$ZUROV_WINE10_SOURCES" "$root/etc/apt/sources.list"
  # The archive may be a dated snapshot: its Release files must not expire on us.
  printf "Acquire::Check-Valid-Until \"false\";\nAcquire::Retries \"3\";\n" >"$root/etc/apt/apt.conf.d/50zurov"
  printf "path-exclude=/usr/share/doc/*\npath-exclude=/usr/share/man/*\npath-exclude=/usr/share/info/*\n" \
    >"$root/etc/dpkg/dpkg.cfg.d/zurov-wine10"
  printf "#!/bin/sh\nexit 101\n" >"$root/usr/sbin/policy-rc.d" && chmod 755 "$root/usr/sbin/policy-rc.d"
  cp "$ZUROV_WINE10_APT_INSTALL" "$root/apt-install.sh"
  mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive bash /apt-install.sh $(grep -v "^#" "$ZUROV_WINE10_PACKAGES")
  chroot "$root" apt-get clean
  rm -rf "$root/apt-install.sh" "$root/var/lib/apt/lists/"* "$root/usr/sbin/policy-rc.d"
' >>"$log" 2>&1 || die "the build failed"

mv "$work" "$root"
date -u +%FT%TZ >"$root.complete"
step "root ready: $root ($(du -sh "$root" | cut -f1))"
# Roots of older scripts that no clone has used for a week.
find "$cache" -maxdepth 1 -name '*.complete' -mtime +7 -printf '%p\n' | while read -r old; do
  [ "$old" = "$root.complete" ] || rm -rf "${old%.complete}" "$old" "${old%.complete}.log"
done
echo "$root"
