#!/usr/bin/env bash
# Installs Debian packages whatever the state of the archive's indexes:
#   apt-install.sh PACKAGE...
# A mirror in the middle of a sync serves an index whose size or hash does not match its
# Release file, sometimes for a day; apt-get update then fails for that one index while the
# others are read. So the update is tried a few times, then the install goes on with the
# indexes that could be read, and fails only when a package (or one it depends on) cannot be
# installed from them, naming it. Runs here (cmake/install-packages.sh) and inside the i386
# machine while its image is built. ZUROV_APT_RETRY_SECONDS is the pause before each retry
# (default 20, doubled each time).
set -uo pipefail
# Another install running at the same time (a second build on the machine) is waited for.
lock=(-o DPkg::Lock::Timeout=900)
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE..." >&2; exit 2; }
pause=${ZUROV_APT_RETRY_SECONDS:-20}
updated=""
for attempt in 1 2 3; do
  if apt-get "${lock[@]}" update -q; then updated=1; break; fi
  [ "$attempt" -lt 3 ] || break
  echo "apt-install: apt-get update failed (try $attempt of 3); again in $pause s" >&2
  sleep "$pause"
  pause=$((pause * 2))
done
[ -n "$updated" ] ||
  echo "apt-install: some package indexes could not be read; installing from the others" >&2

# A dry run first: with an index missing, it names what cannot be installed without touching
# anything.
plan=$(apt-get "${lock[@]}" install -s -q --no-install-recommends "$@" 2>&1)
if [ $? -ne 0 ]; then
  printf '%s\n' "$plan" | grep -E '^E:|Depends:|has no installation candidate|Unable to locate' >&2
  missing=$(printf '%s\n' "$plan" | sed -nE \
    -e 's/^E: Unable to locate package ([^ ]+).*/\1/p' \
    -e "s/^E: Package '([^']+)' has no installation candidate.*/\1/p" \
    -e 's/^ *([^ ]+) : Depends: ([^ ]+).*/\2 (needed by \1)/p' | sort -u | paste -sd, - | sed 's/,/, /g')
  echo "apt-install: FAILED: cannot install ${missing:-the packages}" >&2
  exit 1
fi
apt-get "${lock[@]}" install -y -q --no-install-recommends "$@" || {
  echo "apt-install: FAILED: apt-get install $*" >&2
  exit 1
}
