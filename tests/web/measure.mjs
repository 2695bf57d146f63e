// The web player's figures on the demo, printed rather than checked: the time
// a pass takes in Chromium's wasm beside the native headless player on the
// same replayed session, and the size of the exported site, whole and
// gzipped. Run: QRN_APP=build/apps/qrn node tests/web/measure.mjs [PASSES]
// Native: the wall time of "qrn run --max-passes PASSES" less that of
// "--max-passes 1", over PASSES - 1 (best of five). Web: the passes' own time
// measured in the page (best of three runs, the first pass excluded with the
// start-up), so neither side counts start-up or pacing.
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { gzipSync } from "node:zlib";

import { Browser, serve } from "./browser.mjs";

const source = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const qrn = process.env.QRN_APP || join(source, "build/apps/qrn");
const demo = join(source, "titles/demo");
const session = join(source, "tests/apps/demo/solve.txt");
const passes = Number(process.argv[2] || 1000);
const work = mkdtempSync(join(tmpdir(), "qrn-web-measure-"));

const runFor = (n) => {
  const began = process.hrtime.bigint();
  try {
    execFileSync(qrn, ["run", "--replay", session, "--max-passes", String(n), demo], { cwd: work, stdio: "ignore" });
  } catch { /* status 3: the pass limit */ }
  return Number(process.hrtime.bigint() - began) / 1e6;
};
let native = Infinity;
for (let i = 0; i < 5; ++i) native = Math.min(native, (runFor(passes) - runFor(1)) / (passes - 1));

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
let web = Infinity, worst = 0;
for (let i = 0; i < 3; ++i) {
  await browser.goto(server.url + `index.html?replay=solve.txt&passes=${passes}&mute=1`);
  const r = await browser.waitFor("window.qrnResult", "the replay's end");
  web = Math.min(web, r.passMs / r.passes);
  worst = Math.max(worst, r.maxPassMs);
}
await browser.close();
server.close();
rmSync(work, { recursive: true, force: true });
console.log(`pass time on the demo (${passes} replayed passes): native ${native.toFixed(3)} ms, ` +
  `wasm in Chromium ${web.toFixed(3)} ms (slowest pass ${worst.toFixed(1)} ms)`);
console.log(`exported site: ${(bytes / 1024).toFixed(0)} KiB, gzipped file by file ${(gzipped / 1024).toFixed(0)} KiB`);
