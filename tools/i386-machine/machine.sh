# Shell functions shared by image.sh and run.sh: the initrd, and one emulated i386 PC
# started, watched and stopped by its process id. Sourced, not run.

# The processor and kernel options that 32-bit Wine runs well on under QEMU's TCG: with
# SMAP or the full mitigations the guest kernel faults in Wine, or every process is slow.
MACHINE_CPU="Westmere,-lm,-syscall"
MACHINE_KERNEL_OPTIONS="console=ttyS0 tsc=reliable mitigations=off panic=1 quiet"
MACHINE_PID=""

# machine_initrd TREE INIT OUT: the initrd of TREE (busybox and the modules) with INIT as /init.
machine_initrd() {
  local tree=$1 init=$2 out=$3 tmp
  tmp=$(mktemp -d)
  cp -a "$tree/." "$tmp/"
  install -m 755 "$init" "$tmp/init"
  mkdir -p "$tmp/dev"
  mknod "$tmp/dev/console" c 5 1 2>/dev/null || true
  (cd "$tmp" && find . | cpio -o -H newc --quiet) | gzip -1 >"$out"
  rm -rf "$tmp"
}

# machine_start IMAGE INITRD LOGDIR APPEND QEMU-ARGS...: starts the machine in the background
# with IMAGE's kernel; ttyS0 (the kernel's console) goes to LOGDIR/console.log, ttyS1 (the
# command's output) to LOGDIR/output.log. Sets MACHINE_PID.
machine_start() {
  local image=$1 initrd=$2 logdir=$3 append=$4
  shift 4
  # Both exist before QEMU starts, so that they can be followed from the start.
  : >"$logdir/console.log"
  : >"$logdir/output.log"
  qemu-system-i386 -nodefaults -no-user-config -display none -no-reboot \
    -machine pc -accel tcg,thread=multi -cpu "$MACHINE_CPU" -smp 2 -m 2048 \
    -kernel "$image/vmlinuz" -initrd "$initrd" -append "$MACHINE_KERNEL_OPTIONS $append" \
    -serial "file:$logdir/console.log" -serial "file:$logdir/output.log" \
    "$@" </dev/null >"$logdir/qemu.log" 2>&1 &
  MACHINE_PID=$!
  echo "$MACHINE_PID" >"$logdir/qemu.pid"
}

# machine_stop: ends the machine started here, if it still runs: SIGTERM, then SIGKILL.
machine_stop() {
  local pid=$MACHINE_PID
  [ -n "$pid" ] || return 0
  MACHINE_PID=""
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

# machine_wait SECONDS: waits for the machine to power off; stops it after SECONDS.
# Returns 0 when it powered off by itself, 1 when it had to be stopped.
machine_wait() {
  local limit=$1 start=$SECONDS
  while kill -0 "$MACHINE_PID" 2>/dev/null; do
    if [ $((SECONDS - start)) -ge "$limit" ]; then
      machine_stop
      return 1
    fi
    sleep 1
  done
  wait "$MACHINE_PID" 2>/dev/null || true
  MACHINE_PID=""
  return 0
}

# machine_console_tail LOGDIR: the kernel console's last lines, for a failure message.
machine_console_tail() {
  echo "--- last lines of the machine's console ($1/console.log):" >&2
  tail -n 25 "$1/console.log" >&2 2>/dev/null || true
  [ -s "$1/qemu.log" ] && { echo "--- qemu:" >&2; cat "$1/qemu.log" >&2; }
  return 0
}
