// Every frame of the whole demo from the WebAssembly build equals the native build's:
// node same_frames.mjs NATIVE_KAVEO WASM_KAVEO_JS [DT...]
// Both run `kaveo render` for each frame duration (default 0.01 and 1/60); their outputs are
// compared frame by frame through a SHA-256 of each frame's 8,000 bytes.
import { spawnSync } from "node:child_process";
import { createHash } from "node:crypto";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const FRAME_BYTES = 80 * 50 * 2;
const [native, wasm, ...dts] = process.argv.slice(2);
if (!native || !wasm) {
  console.error("usage: node same_frames.mjs NATIVE_KAVEO WASM_KAVEO_JS [DT...]");
  process.exit(2);
}

function render(command, args, output) {
  const run = spawnSync(command, [...args, "render", "--dt", dt, "--output", output],
                        { encoding: "utf8", maxBuffer: 1 << 26 });
  if (run.status !== 0) {
    console.error(`${command} render --dt ${dt} ended with ${run.status}: ${run.stderr}`);
    process.exit(1);
  }
  return readFileSync(output);
}

function frameHashes(bytes) {
  const hashes = [];
  for (let at = 0; at < bytes.length; at += FRAME_BYTES)
    hashes.push(createHash("sha256").update(bytes.subarray(at, at + FRAME_BYTES)).digest("hex"));
  return hashes;
}

const work = mkdtempSync(join(tmpdir(), "kaveo-frames-"));
let dt;
let failed = false;
try {
  for (dt of dts.length ? dts : ["0.01", String(1 / 60)]) {
    const expected = frameHashes(render(native, [], join(work, "native.cells")));
    const got = frameHashes(render(process.execPath, ["--no-experimental-fetch", wasm],
                                   join(work, "wasm.cells")));
    const differing = expected.filter((hash, k) => got[k] !== hash).length;
    const first = expected.findIndex((hash, k) => got[k] !== hash);
    if (expected.length === 0 || got.length !== expected.length || differing > 0) {
      console.error(`dt ${dt}: ${got.length} WebAssembly frames, ${expected.length} native; ` +
                    `${differing} differ, the first is frame ${first + 1}`);
      failed = true;
    } else {
      console.log(`dt ${dt}: all ${expected.length} frames equal`);
    }
  }
} finally {
  rmSync(work, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
