// A stand-in for a host older than "hello": it accepts every object and refuses every type it
// does not know, as such a host did.
let input = Buffer.alloc(0);
const write = (m, body = Buffer.from(JSON.stringify(m))) => process.stdout.write(Buffer.concat([Buffer.from(new Uint32Array([body.length]).buffer), body]));
process.stdin.on("data", (chunk) => {
  for (input = Buffer.concat([input, chunk]); input.length >= 4 && input.length >= 4 + input.readUInt32LE(0); input = input.subarray(4 + input.readUInt32LE(0))) {
    const m = JSON.parse(input.subarray(4, 4 + input.readUInt32LE(0)));
    if (m.type === "new") write({ type: "new", id: m.id, result: "accepted", linkId: m.id });
    else if (!["window", "stream", "destroy"].includes(m.type)) write({ type: "error", reason: "unknown type", ...(m.id ? { id: m.id } : {}) });
  }
});
