// The web player's figures on the demo, printed rather than checked: the time
// a pass takes in Chromium's wasm beside the native headless player, and the
// size of the exported site, whole and gzipped.
//   QRN_APP=build/apps/qrn node --no-experimental-fetch tests/web/measure.mjs
// The demo left alone (no input: the clock and the firefly move on their
// threads). Native: the median wall time of "qrn run --max-passes 200000
// --ms-per-pass 17" less the median of "--max-passes 1", over 199999 (nine
// runs of each, taken in turn, so that the machine's load falls on both
// alike); a native pass is too short to time in fewer, and 17 ms is the
// clock's step between the animation frames of a 60 Hz page. Web: the
// passes' own time as the page measures it (emscripten_get_now around each
// pass: drawing, putImageData of the changed area, the scripts), over passes
// 2 to 1000, best of three pages. Neither counts the first pass, which loads
// the title's files and starts its threads. Then the
// web on the recorded session that solves the demo (drags and a chest that
// opens), whose 1000 passes are too few to time natively.
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { gzipSync } from "node:zlib";

import { Browser, serve } from "./browser.mjs";

const source = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const qrn = resolve(process.env.QRN_APP || join(source, "build/apps/qrn"));
const demo = join(source, "titles/demo");
const session = join(source, "tests/apps/demo/solve.txt");
const work = mkdtempSync(join(tmpdir(), "qrn-web-measure-"));

const runFor = (n) => {
  const began = process.hrtime.bigint();
  try {
    execFileSync(qrn, ["run", "--max-passes", String(n), "--ms-per-pass", "17", demo], { cwd: work, stdio: "ignore" });
  } catch { /* status 3: the pass limit */ }
  return Number(process.hrtime.bigint() - began) / 1e6;
};
const median = (xs) => xs.sort((a, b) => a - b)[xs.length >> 1];
const full = [], one = [];
for (let i = 0; i < 9; ++i) {
  full.push(runFor(200000));
  one.push(runFor(1));
}
const native = (median(full) - median(one)) / 199999;

const site = join(work, "site");
execFileSync(qrn, ["export-web", demo, site], { stdio: "ignore" });
const files = (dir) => readdirSync(dir).flatMap((n) => statSync(join(dir, n)).isDirectory() ? files(join(dir, n)) : [join(dir, n)]);
let bytes = 0, gzipped = 0;
for (const f of files(site)) {
  const content = readFileSync(f);
  bytes += content.length;
  gzipped += gzipSync(content, { level: 9 }).length;
}
copyFileSync(session, join(site, "solve.txt"));
const server = await serve(site);
const browser = await Browser.launch();
const webPass = async (query) => {
  let best = Infinity;
  for (let i = 0; i < 3; ++i) {
    await browser.goto(server.url + `index.html?${query}&passes=1000&mute=1`);
    const r = await browser.waitFor("window.qrnResult", "the run's end");
    best = Math.min(best, (r.passMs - r.firstPassMs) / (r.passes - 1));
  }
  return best;
};
const idle = await webPass("");
const solving = await webPass("replay=solve.txt");
await browser.close();
server.close();
rmSync(work, { recursive: true, force: true });
console.log(`a pass of the demo left alone: native ${native.toFixed(4)} ms, wasm in Chromium ${idle.toFixed(4)} ms`);
console.log(`a pass of the demo being solved (replayed): wasm in Chromium ${solving.toFixed(4)} ms`);
console.log(`exported site: ${(bytes / 1024).toFixed(0)} KiB, gzipped file by file ${(gzipped / 1024).toFixed(0)} KiB`);
