// "qrn export-web" on small titles made here: what a site holds, what it
// leaves out and why, and where it refuses to write. Needs QRN_APP, the
// native qrn built with the web player beside it (scripts/web.sh).
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, symlinkSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { after, beforeEach, test } from "node:test";
import { fileURLToPath } from "node:url";

const source = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const qrn = resolve(process.env.QRN_APP || join(source, "build/apps/qrn"));
let work;

beforeEach(() => {
  rmSync(work ?? "/nonexistent", { recursive: true, force: true });
  work = mkdtempSync(join(tmpdir(), "qrn-export-test-"));
  mkdirSync(join(work, "title/ao"), { recursive: true });
  writeFileSync(join(work, "title/main.mps"), 'say "hi"\n');
  writeFileSync(join(work, "title/ao/1.ao"), "not really an animation");
  writeFileSync(join(work, "secret.txt"), "outside the title");
});
after(() => rmSync(work, { recursive: true, force: true }));

const exportWeb = (...args) => spawnSync(qrn, ["export-web", ...args], { encoding: "utf8" });

test("a site holds the player, the title's files as they are and site.json", () => {
  const r = exportWeb("--size", "320x200", "--depth", "8", join(work, "title"), join(work, "site"));
  assert.equal(r.status, 0, r.stderr);
  const site = JSON.parse(readFileSync(join(work, "site/site.json"), "utf8"));
  assert.deepEqual(site, { script: "main.mps", arguments: ["--size", "320x200", "--depth", "8"],
    files: ["ao/1.ao", "main.mps"] });
  assert.equal(readFileSync(join(work, "site/title/ao/1.ao"), "utf8"), "not really an animation");
  for (const name of ["index.html", "qrn-web.js", "qrn-web.wasm"]) assert.ok(existsSync(join(work, "site", name)), name);
  // Nothing is left under a temporary name.
  assert.deepEqual(readdirSync(join(work, "site")).filter((n) => n.startsWith(".")), []);
});

const refusals = [
  { what: "plug-ins are left out, and named", make: () => writeFileSync(join(work, "title/Gizmo.lrn"), "native"),
    status: 0, message: /Gizmo\.lrn left out: plug-ins are native code/ },
  { what: "a link leading outside the title is left out",
    make: () => symlinkSync(join(work, "secret.txt"), join(work, "title/secret.txt")),
    status: 0, message: /secret\.txt leads outside the title: left out/ },
  { what: "hidden files are left out", make: () => writeFileSync(join(work, "title/.notes"), "mine"),
    status: 0, message: /^$/ },
];
for (const { what, make, status, message } of refusals) {
  test(what, () => {
    make();
    const r = exportWeb(join(work, "title"), join(work, "site"));
    assert.equal(r.status, status, r.stderr);
    assert.match(r.stderr, message);
    assert.deepEqual(JSON.parse(readFileSync(join(work, "site/site.json"), "utf8")).files, ["ao/1.ao", "main.mps"]);
  });
}

test("a site inside the title's folder is refused, and nothing is written", () => {
  const r = exportWeb(join(work, "title"), join(work, "title/site"));
  assert.equal(r.status, 1);
  assert.match(r.stderr, /inside the title's folder/);
  assert.ok(!existsSync(join(work, "title/site")));
});

test("wrong usage says so with status 2", () => {
  const r = exportWeb(join(work, "title"));
  assert.equal(r.status, 2);
  assert.match(r.stderr, /give TITLE and OUTDIR/);
});
