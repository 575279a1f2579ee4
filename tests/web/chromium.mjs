// The Chromium driver of browser.mjs: Debian's chromium-headless-shell (or chromium) with no
// network use of its own, one page, driven through the DevTools protocol.
import { connect, findProgram, launch } from "./browser.mjs";

// The keys the tests press: DOM key name to DOM code and Windows virtual-key code.
const KEYS = { " ": ["Space", 32], ArrowUp: ["ArrowUp", 38], Escape: ["Escape", 27] };

export async function open() {
  const program = findProgram("KAVEO_CHROMIUM",
                              ["/usr/bin/chromium-headless-shell", "/usr/bin/chromium"]);
  const { found: address, stop } = await launch(program, {
    args: (profile) => [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
      "--window-size=1400,900", `--user-data-dir=${profile}`, "--remote-debugging-port=0",
      "about:blank"],
    ready: /DevTools listening on (ws:\/\/\S+)/ });
  let session;
  try {
    const port = new URL(address).port;
    const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
    session = await connect(targets.find((t) => t.type === "page").webSocketDebuggerUrl);
    await session.send("Runtime.enable");
    await session.send("Page.enable");
  } catch (error) {
    await stop();
    throw error;
  }
  const { send } = session;
  let loaded = null; // resolves at the next load event
  session.on((event) => {
    if (event.method === "Page.loadEventFired" && loaded) loaded();
  });

  return {
    async navigate(url) {
      const load = new Promise((resolve) => { loaded = resolve; });
      const result = await send("Page.navigate", { url });
      if (result.errorText) throw new Error(`${url}: ${result.errorText}`);
      await load;
    },
    // Evaluates an expression in the page (awaiting a promise) and returns its value.
    async evaluate(expression) {
      const result = await send("Runtime.evaluate",
                                { expression, awaitPromise: true, returnByValue: true });
      if (result.exceptionDetails)
        throw new Error(`${expression}: ${JSON.stringify(result.exceptionDetails)}`);
      return result.result.value;
    },
    async click(x, y) {
      await send("Input.dispatchMouseEvent",
                 { type: "mousePressed", x, y, button: "left", buttons: 1, clickCount: 1 });
      await send("Input.dispatchMouseEvent",
                 { type: "mouseReleased", x, y, button: "left", buttons: 0, clickCount: 1 });
    },
    // A key press and release, as the browser would deliver it.
    async key(name) {
      const [code, keyCode] = KEYS[name];
      const text = name.length === 1 ? name : undefined;
      await send("Input.dispatchKeyEvent", { type: "keyDown", key: name, code,
                                             windowsVirtualKeyCode: keyCode, text });
      await send("Input.dispatchKeyEvent", { type: "keyUp", key: name, code,
                                             windowsVirtualKeyCode: keyCode });
    },
    async screenshot() {
      return (await send("Page.captureScreenshot", { format: "png" })).data;
    },
    async close() {
      session.close();
      await stop();
    },
  };
}
