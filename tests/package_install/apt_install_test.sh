#!/usr/bin/env bash
# cmake/apt-install.sh against recorded apt-get transcripts, with no network: an apt-get on
# PATH replays them. The update transcript is the archive's i386 security index met in the
# middle of a mirror sync (wrong size, apt-get exits 100).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../cmake/apt-install.sh
transcripts=$here/transcripts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# scenario NAME UPDATE-EXITS SIMULATION-TRANSCRIPT SIMULATION-EXIT: a fake apt-get whose
# successive updates exit with the codes in UPDATE-EXITS (the last repeats); every call is
# logged to $work/NAME.calls.
scenario() {
  local name=$1 bin=$work/$1
  mkdir -p "$bin"
  cat >"$bin/apt-get" <<EOF
#!/usr/bin/env bash
[ "\$1" = -o ] && shift 2
echo "\$*" >>"$work/$name.calls"
case "\$*" in
  update*)
    n=\$(grep -c '^update' "$work/$name.calls")
    codes=($2)
    code=\${codes[\$((n - 1))]:-\${codes[-1]}}
    [ "\$code" -eq 0 ] || cat "$transcripts/update-index-mid-sync.txt"
    exit "\$code" ;;
  *" -s "*) cat "$transcripts/$3"; exit $4 ;;
  install*) exit 0 ;;
esac
exit 99
EOF
  chmod +x "$bin/apt-get"
  : >"$work/$name.calls"
  PATH=$bin:$PATH ZUROV_APT_RETRY_SECONDS=0 bash "$script" wine32 xvfb >"$work/$name.out" 2>&1
  echo $? >"$work/$name.status"
}

check() {  # check NAME DESCRIPTION COMMAND...
  local name=$1 what=$2
  shift 2
  if "$@"; then echo "ok: $name: $what"; else
    echo "FAIL: $name: $what"; sed 's/^/  | /' "$work/$name.out"; failures=$((failures + 1)); fi
}
status() { [ "$(cat "$work/$1.status")" = "$2" ]; }
said() { grep -q -- "$2" "$work/$1.out"; }
calls() { [ "$(grep -c "$2" "$work/$1.calls")" = "$3" ]; }

scenario mid-sync "100" install-simulated.txt 0
check mid-sync "the update is tried three times" calls mid-sync '^update' 3
check mid-sync "then the packages are installed from the indexes that were read" \
  calls mid-sync '^install -y' 1
check mid-sync "and the run succeeds" status mid-sync 0

scenario recovers "100 0" install-simulated.txt 0
check recovers "a second update that works ends the retries" calls recovers '^update' 2
check recovers "and installs" status recovers 0

scenario missing "100" install-no-such-package.txt 100
check missing "a package no index offers fails the run" status missing 1
check missing "naming it" said missing 'FAILED: cannot install kelvora-no-such-package'
check missing "without installing anything" calls missing '^install -y' 0

scenario unmet "100" install-unmet-dependency.txt 100
check unmet "a dependency no index offers is named with what needs it" \
  said unmet 'FAILED: cannot install libwine (needed by wine32)'
check unmet "and fails the run" status unmet 1

[ "$failures" -eq 0 ]
