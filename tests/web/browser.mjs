// A headless browser for the page's tests and benchmark, whichever browser it is: starts it
// with a private profile, finds its remote protocol's WebSocket on its standard error, and
// talks to it over node's WebSocket client (node 20 needs --experimental-websocket). The
// drivers, chromium.mjs (DevTools protocol) and firefox.mjs (WebDriver BiDi), each give
//   navigate(url)  (resolves once the page has loaded)   evaluate(expression)  click(x, y)
//   key(name)  (a DOM key name)   screenshot()  (base64 PNG of the viewport)   close()
// and openBrowser adds waitFor(expression) on top.
import { spawn } from "node:child_process";
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

export const BROWSER_NAMES = ["chromium", "firefox"];

// Starts `name`'s browser on an empty page.
export async function openBrowser(name) {
  if (!BROWSER_NAMES.includes(name))
    throw new Error(`unknown browser ${name}: one of ${BROWSER_NAMES.join(", ")}`);
  if (typeof WebSocket === "undefined")
    throw new Error("needs node 20.10 or later, run with --experimental-websocket");
  const { open } = await import(`./${name}.mjs`);
  const browser = await open();
  // Polls an expression until it is truthy; returns its value.
  browser.waitFor = async (expression, timeoutMs = 20000) => {
    const end = Date.now() + timeoutMs;
    for (;;) {
      const value = await browser.evaluate(expression);
      if (value) return value;
      if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
  };
  return browser;
}

// The first of `programs` that exists, or the one an environment variable names.
export function findProgram(variable, programs) {
  const program = process.env[variable] || programs.find((path) => existsSync(path));
  if (!program) throw new Error(`none of ${programs.join(", ")} found (or set ${variable})`);
  return program;
}

// Starts `program` in its own process group (stopping it then ends its helper processes too)
// with a fresh folder for its profile or run-time files, which `prepare(folder)` may fill and
// `args(folder)` and `env(folder)` hand to it, and waits until its standard error matches
// `ready`. Returns the match's first group, the folder, and stop(), which ends the program
// and removes the folder.
export async function launch(program, { args, ready, env = () => ({}), prepare = () => {} }) {
  const folder = mkdtempSync(join(tmpdir(), "kaveo-browser-"));
  prepare(folder);
  const child = spawn(program, args(folder), {
    stdio: ["ignore", "ignore", "pipe"], detached: true, env: { ...process.env, ...env(folder) } });
  const signal = (name) => { try { process.kill(-child.pid, name); } catch { /* gone */ } };
  const exited = new Promise((resolve) => {
    child.on("exit", resolve);
    child.on("error", resolve); // never started
  });
  process.on("exit", () => signal("SIGKILL"));
  let log = "";
  const stop = async () => {
    signal("SIGTERM");
    const late = setTimeout(() => signal("SIGKILL"), 5000);
    await exited;
    clearTimeout(late);
    signal("SIGKILL"); // whatever of the group is left
    rmSync(folder, { recursive: true, force: true });
  };
  try {
    const found = await new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`${program} did not start:\n${log}`)), 30000);
      child.on("error", reject); // not found or not runnable
      child.stderr.on("data", (data) => {
        log += data;
        const match = ready.exec(log);
        if (match) { clearTimeout(timer); resolve(match[1]); }
      });
      child.on("exit", (code) => reject(new Error(`${program} exited with ${code}:\n${log}`)));
    });
    return { found, folder, stop };
  } catch (error) {
    await stop();
    throw error;
  }
}

// A WebSocket that sends {id, method, params} commands and resolves each with the `result`
// of the answer carrying its id (or rejects with its `error`), the way both protocols answer;
// other messages with a `method` are events, passed to the listeners. A command unanswered
// for a minute fails, so that a browser that hangs ends the run with its name.
export async function connect(address) {
  const socket = new WebSocket(address);
  await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
  let nextId = 1;
  const waiting = new Map();
  const listeners = [];
  socket.onmessage = (message) => {
    const data = JSON.parse(message.data);
    if (data.id && waiting.has(data.id)) {
      const { resolve, reject, method, timer } = waiting.get(data.id);
      waiting.delete(data.id);
      clearTimeout(timer);
      if (data.error) reject(new Error(`${method}: ${JSON.stringify(data)}`));
      else resolve(data.result);
    } else if (data.method) {
      for (const listener of listeners) listener(data);
    }
  };
  return {
    send: (method, params = {}) => new Promise((resolve, reject) => {
      const id = nextId++;
      const timer = setTimeout(() => {
        waiting.delete(id);
        reject(new Error(`${method}: no answer in 60 s`));
      }, 60000);
      waiting.set(id, { resolve, reject, method, timer });
      socket.send(JSON.stringify({ id, method, params }));
    }),
    on(listener) { listeners.push(listener); },
    close() { socket.close(); },
  };
}
