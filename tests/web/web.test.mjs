// The web player in headless Chromium: the demo exported by "qrn export-web"
// loads, a click reaches a trinket's handler, the canvas after a replayed
// session equals "qrn run --screenshot" at the same pass, and sound runs once
// a click or a key reaches the page. Needs QRN_APP (the native qrn program,
// built with the web player beside it in the source tree's build-web/).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";

import { Browser, serve } from "./browser.mjs";
import { readPng } from "./png.mjs";

const source = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const qrn = resolve(process.env.QRN_APP || join(source, "build/apps/qrn"));
const demo = join(source, "titles/demo");
const session = join(source, "tests/apps/demo/solve.txt");

let work, site, browser;

before(async () => {
  work = mkdtempSync(join(tmpdir(), "qrn-web-test-"));
  execFileSync(qrn, ["export-web", demo, join(work, "site")], { stdio: ["ignore", "ignore", "inherit"] });
  copyFileSync(session, join(work, "site", "solve.txt"));
  site = await serve(join(work, "site"));
  browser = await Browser.launch();
});

after(async () => {
  await browser?.close();
  site?.close();
  rmSync(work, { recursive: true, force: true });
});

const logText = () => browser.evaluate("document.getElementById('log').textContent");

test("the exported demo loads and runs its script", async () => {
  await browser.goto(site.url + "index.html?mute=1");
  await browser.waitFor("document.getElementById('log').textContent.includes('three gems wait on the tray')",
    "the demo's first say line");
  assert.deepEqual(await browser.evaluate("[canvas.width, canvas.height]"), [640, 480]);
  assert.equal(await browser.evaluate("window.qrnResult"), undefined);  // still playing
});

test("a click on the chest reaches its handler", async () => {
  await browser.goto(site.url + "index.html?mute=1");
  await browser.waitFor("document.getElementById('log').textContent.includes('three gems')", "the demo to start");
  assert.ok(!(await logText()).includes("the chest is locked"));
  await browser.clickCanvas(560, 420);
  await browser.waitFor("document.getElementById('log').textContent.includes('the chest is locked')",
    "the chest's mouseDown handler");
  assert.ok(browser.console.includes("say: the chest is locked"));
});

// Passes into the recorded session: the middle of the solve (a gem in the
// hand, status 3 as the pass limit stops the run), and more than it takes
// (the chest opens and the title quits by itself, status 0).
for (const [passes, expected] of [[700, 3], [2000, 0]]) {
  test(`the canvas after ${passes} replayed passes equals qrn run --screenshot`, async () => {
    const shot = join(work, `native-${passes}.png`);
    let status = 0;
    try {
      execFileSync(qrn, ["run", "--replay", session, "--max-passes", String(passes), "--screenshot", shot, demo],
        { cwd: work, stdio: "ignore" });
    } catch (e) {
      status = e.status;
    }
    await browser.goto(site.url + `index.html?replay=solve.txt&passes=${passes}&mute=1`);
    const result = await browser.waitFor("window.qrnResult", "the replay's end");
    assert.equal(status, expected);
    assert.equal(result.status, expected);
    if (expected === 3) assert.equal(result.passes, passes);
    const web = readPng(await browser.screenshotCanvas());
    const native = readPng(readFileSync(shot));
    assert.deepEqual([web.width, web.height], [native.width, native.height]);
    let differing = 0;
    for (let i = 0; i < native.rgb.length; i += 3)
      if (native.rgb.compare(web.rgb, i, i + 3, i, i + 3) !== 0) ++differing;
    assert.equal(differing, 0, `${differing} pixels differ`);
  });
}

// Browsers keep a page's audio suspended until the person does something.
const starts = [["a click", () => browser.clickCanvas(560, 420)], ["a key", () => browser.pressKey(65)]];
for (const [what, act] of starts) {
  test(`sound runs once ${what} reaches the page`, async () => {
    await browser.goto(site.url + "index.html");
    await browser.waitFor("window.Module && Module.qrnAudio", "the audio to open");
    await new Promise((r) => setTimeout(r, 500));
    const audio = "({state: Module.qrnAudio.context.state, frames: Module.qrnAudio.frames, peak: Module.qrnAudio.peak})";
    assert.deepEqual(await browser.evaluate(audio), { state: "suspended", frames: 0, peak: 0 });
    await act();
    await browser.waitFor("Module.qrnAudio.context.state === 'running' && Module.qrnAudio.frames > 0 && " +
      "Module.qrnAudio.peak > 0", "sound from the mixer");
  });
}
