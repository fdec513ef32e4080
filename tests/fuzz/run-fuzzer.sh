#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEEDS WORKDIR SECONDS [OPTION...]: runs FUZZER on a working corpus seeded
# from SEEDS, for SECONDS, or for $ZUROV_FUZZ_SECONDS when that is set (make fuzz), with any
# further libFuzzer OPTIONs.
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=${ZUROV_FUZZ_SECONDS:-$4}
shift 4
mkdir -p "$work"
[ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$@" "$work"
