// A bare native-messaging host for the benchmark: each message goes back as it came.
let pending = Buffer.alloc(0);
process.stdin.on("data", (data) => {
  pending = Buffer.concat([pending, data]);
  while (pending.length >= 4 && pending.length >= 4 + pending.readUInt32LE(0)) {
    const length = pending.readUInt32LE(0);
    process.stdout.write(pending.subarray(0, 4 + length));
    pending = pending.subarray(4 + length);
  }
});
