// Headless Chromium driven over its DevTools protocol on a pipe
// (--remote-debugging-pipe: the browser reads commands on fd 3 and writes
// replies and events on fd 4, each a JSON text ended by a NUL byte), and a
// static web server on the loopback for a site folder. No npm packages.
import { spawn } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, statSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { extname, join, normalize, sep } from "node:path";

// Longest a test waits for one thing in the page.
export const kWaitMs = 60000;

const kTypes = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".json": "application/json" };

// Serves root on 127.0.0.1 at a free port; resolves to {url, close}.
export function serve(root) {
  const server = createServer((request, response) => {
    const path = normalize(join(root, decodeURIComponent(new URL(request.url, "http://x").pathname)));
    let file = path.endsWith(sep) ? join(path, "index.html") : path;
    try {
      if (!file.startsWith(root) || !statSync(file).isFile()) throw new Error("no file");
      response.writeHead(200, { "Content-Type": kTypes[extname(file)] || "application/octet-stream" });
      response.end(readFileSync(file));
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  return new Promise((resolve) =>
    server.listen(0, "127.0.0.1", () =>
      resolve({ url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() })));
}

export class Browser {
  // extraFlags: more command-line switches for Chromium.
  static async launch(extraFlags = []) {
    const profile = mkdtempSync(join(tmpdir(), "qrn-chromium-"));
    const child = spawn("chromium", ["--headless", "--no-sandbox", "--remote-debugging-pipe", "--disable-gpu",
      "--no-first-run", "--window-size=800,700", `--user-data-dir=${profile}`, ...extraFlags, "about:blank"],
    { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });
    const browser = new Browser(child, profile);
    const { targetInfos } = await browser.send("Target.getTargets");
    const page = targetInfos.find((t) => t.type === "page");
    const { sessionId } = await browser.send("Target.attachToTarget", { targetId: page.targetId, flatten: true });
    browser.session = sessionId;
    await browser.send("Page.enable", {}, sessionId);
    await browser.send("Runtime.enable", {}, sessionId);
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.waiting = new Map();
    this.console = [];
    let pending = Buffer.alloc(0);
    child.stdio[4].on("data", (chunk) => {
      pending = Buffer.concat([pending, chunk]);
      for (let end; (end = pending.indexOf(0)) >= 0; pending = pending.subarray(end + 1))
        this.receive(JSON.parse(pending.subarray(0, end).toString()));
    });
    child.on("exit", () => { for (const [, w] of this.waiting) w.reject(new Error("chromium ended")); });
  }

  receive(message) {
    if (message.id !== undefined) {
      const w = this.waiting.get(message.id);
      this.waiting.delete(message.id);
      if (message.error) w.reject(new Error(message.error.message));
      else w.resolve(message.result);
    } else if (message.method === "Runtime.consoleAPICalled") {
      this.console.push(message.params.args.map((a) => a.value).join(" "));
    }
  }

  send(method, params = {}, sessionId = this.session) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.waiting.set(id, { resolve, reject });
      this.child.stdio[3].write(JSON.stringify(message) + "\0");
    });
  }

  // The value of a JavaScript expression in the page (awaited when a promise).
  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send("Runtime.evaluate",
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
    return result.value;
  }

  // Waits until the expression is true; its last value otherwise fails the wait.
  async waitFor(expression, what = expression) {
    const until = Date.now() + kWaitMs;
    for (;;) {
      const value = await this.evaluate(expression);
      if (value) return value;
      if (Date.now() > until) throw new Error(`timed out waiting for ${what}`);
      await new Promise((r) => setTimeout(r, 100));
    }
  }

  async goto(url) {
    await this.send("Page.navigate", { url });
    await this.waitFor("document.readyState === 'complete'");
  }

  // A left click at canvas pixel (x, y), through the page's CSS scaling.
  async clickCanvas(x, y) {
    const box = await this.evaluate(`(() => { const c = document.getElementById("canvas");
      const r = c.getBoundingClientRect(); return [r.left, r.top, r.width / c.width, r.height / c.height]; })()`);
    const at = { x: box[0] + (x + 0.5) * box[2], y: box[1] + (y + 0.5) * box[3], button: "left", clickCount: 1 };
    await this.send("Input.dispatchMouseEvent", { type: "mouseMoved", ...at, button: "none" });
    await this.send("Input.dispatchMouseEvent", { type: "mousePressed", ...at });
    await this.send("Input.dispatchMouseEvent", { type: "mouseReleased", ...at });
  }

  // A press and release of the key whose classic PC code is code (letters: their capitals).
  async pressKey(code) {
    const key = String.fromCharCode(code).toLowerCase();
    for (const type of ["keyDown", "keyUp"])
      await this.send("Input.dispatchKeyEvent", { type, key, windowsVirtualKeyCode: code, nativeVirtualKeyCode: code });
  }

  // A PNG of the canvas as shown, one screen pixel per CSS pixel.
  async screenshotCanvas() {
    const r = await this.evaluate(`(() => { const r = document.getElementById("canvas").getBoundingClientRect();
      return {x: r.left, y: r.top, width: r.width, height: r.height}; })()`);
    const { data } = await this.send("Page.captureScreenshot", { format: "png", clip: { ...r, scale: 1 } });
    return Buffer.from(data, "base64");
  }

  async close() {
    const ended = new Promise((r) => this.child.once("exit", r));
    await this.send("Browser.close", {}, null).catch(() => this.child.kill());
    await ended;
    // The browser's helpers may still be letting go of the profile.
    rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 200 });
  }
}
