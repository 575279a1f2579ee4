// Headless Chromium driven through the DevTools protocol, for the page's tests and benchmark.
// Starts Debian's chromium-headless-shell (or chromium) with a private profile and no network
// use of its own, opens one page and talks to it over node's WebSocket client (node 20 needs
// --experimental-websocket).
import { spawn } from "node:child_process";
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const BROWSERS = ["/usr/bin/chromium-headless-shell", "/usr/bin/chromium"];

export async function openBrowser(url, extraFlags = []) {
  if (typeof WebSocket === "undefined")
    throw new Error("needs node 20.10 or later, run with --experimental-websocket");
  const program = process.env.KAVEO_CHROMIUM || BROWSERS.find((path) => existsSync(path));
  if (!program) throw new Error("no chromium-headless-shell or chromium found");
  const profile = mkdtempSync(join(tmpdir(), "kaveo-chromium-"));
  const child = spawn(program, [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
    "--window-size=1400,900", `--user-data-dir=${profile}`, "--remote-debugging-port=0",
    ...extraFlags, "about:blank"], { stdio: ["ignore", "ignore", "pipe"], detached: true });
  // Its own process group, so that closing ends the zygote and renderers too.
  const stop = (signal) => { try { process.kill(-child.pid, signal); } catch { /* gone */ } };
  const exited = new Promise((resolve) => child.on("exit", resolve));
  process.on("exit", () => stop("SIGKILL"));
  let log = "";
  const endpoint = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`chromium did not start:\n${log}`)), 30000);
    child.stderr.on("data", (data) => {
      log += data;
      const found = /DevTools listening on (ws:\/\/\S+)/.exec(log);
      if (found) { clearTimeout(timer); resolve(found[1]); }
    });
    child.on("exit", (code) => reject(new Error(`chromium exited with ${code}:\n${log}`)));
  });
  const port = new URL(endpoint).port;
  const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
  const target = targets.find((t) => t.type === "page");
  const socket = new WebSocket(target.webSocketDebuggerUrl);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });

  let nextId = 1;
  const waiting = new Map();
  const listeners = [];
  socket.onmessage = (message) => {
    const data = JSON.parse(message.data);
    if (data.id && waiting.has(data.id)) {
      const { resolve, reject } = waiting.get(data.id);
      waiting.delete(data.id);
      if (data.error) reject(new Error(JSON.stringify(data.error))); else resolve(data.result);
    } else if (data.method) {
      for (const listener of listeners) listener(data);
    }
  };
  const send = (method, params = {}) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    socket.send(JSON.stringify({ id, method, params }));
  });
  const browser = {
    send,
    on(listener) { listeners.push(listener); },
    // Evaluates an expression in the page (awaiting a promise) and returns its value.
    async evaluate(expression) {
      const result = await send("Runtime.evaluate",
                                { expression, awaitPromise: true, returnByValue: true });
      if (result.exceptionDetails)
        throw new Error(`${expression}: ${JSON.stringify(result.exceptionDetails)}`);
      return result.result.value;
    },
    // Polls an expression until it is truthy; returns its value.
    async waitFor(expression, timeoutMs = 20000) {
      const end = Date.now() + timeoutMs;
      for (;;) {
        const value = await browser.evaluate(expression);
        if (value) return value;
        if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
    },
    async click(x, y) {
      await send("Input.dispatchMouseEvent",
                 { type: "mousePressed", x, y, button: "left", buttons: 1, clickCount: 1 });
      await send("Input.dispatchMouseEvent",
                 { type: "mouseReleased", x, y, button: "left", buttons: 0, clickCount: 1 });
    },
    // A key press and release, as the browser would deliver it.
    async key(key, code, keyCode) {
      const text = key.length === 1 ? key : undefined;
      await send("Input.dispatchKeyEvent", { type: "keyDown", key, code,
                                             windowsVirtualKeyCode: keyCode, text });
      await send("Input.dispatchKeyEvent", { type: "keyUp", key, code,
                                             windowsVirtualKeyCode: keyCode });
    },
    async close() {
      socket.close();
      stop("SIGTERM");
      const late = setTimeout(() => stop("SIGKILL"), 5000);
      await exited;
      clearTimeout(late);
      stop("SIGKILL"); // whatever of the group is left
      rmSync(profile, { recursive: true, force: true });
    },
  };
  await send("Runtime.enable");
  await send("Page.enable");
  await send("Page.navigate", { url });
  return browser;
}
