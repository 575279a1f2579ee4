// The Firefox driver of browser.mjs: Debian's firefox-esr, headless, with a private profile
// whose preferences keep it quiet and off the network, one tab, driven through WebDriver BiDi.
import { writeFileSync } from "node:fs";
import { join } from "node:path";
import { connect, findProgram, launch } from "./browser.mjs";

// No updates, telemetry, first-run or welcome pages, remote settings, safe-browsing lists,
// plugin downloads, captive-portal or connectivity probes, speculative connections.
const PREFERENCES = {
  "app.update.auto": false,
  "app.update.enabled": false,
  "app.normandy.enabled": false,
  "app.shield.optoutstudies.enabled": false,
  "browser.aboutwelcome.enabled": false,
  "browser.discovery.enabled": false,
  "browser.newtabpage.enabled": false,
  "browser.ping-centre.telemetry": false,
  "browser.region.network.url": "",
  "browser.region.update.enabled": false,
  "browser.safebrowsing.blockedURIs.enabled": false,
  "browser.safebrowsing.downloads.enabled": false,
  "browser.safebrowsing.malware.enabled": false,
  "browser.safebrowsing.phishing.enabled": false,
  "browser.safebrowsing.provider.google4.updateURL": "",
  "browser.safebrowsing.provider.mozilla.updateURL": "",
  "browser.search.update": false,
  "browser.shell.checkDefaultBrowser": false,
  "browser.startup.homepage_override.mstone": "ignore",
  "browser.startup.page": 0,
  "browser.tabs.warnOnClose": false,
  "datareporting.healthreport.uploadEnabled": false,
  "datareporting.policy.dataSubmissionEnabled": false,
  "extensions.getAddons.cache.enabled": false,
  "extensions.systemAddon.update.enabled": false,
  "extensions.update.enabled": false,
  "media.gmp-manager.updateEnabled": false,
  "network.captive-portal-service.enabled": false,
  "network.connectivity-service.enabled": false,
  "network.dns.disablePrefetch": true,
  "network.http.speculative-parallel-limit": 0,
  "network.prefetch-next": false,
  // performance.now() finer than its default whole milliseconds, for the benchmark's frame costs.
  "privacy.reduceTimerPrecision": false,
  // Honoured with MOZ_DISABLE_NONLOCAL_CONNECTIONS, which also makes remote settings idle.
  "services.settings.server": "data:,#remote-settings-dummy/v1",
  "startup.homepage_welcome_url": "",
  "toolkit.telemetry.enabled": false,
  "toolkit.telemetry.server": "data:,",
  "toolkit.telemetry.unified": false,
};

// The keys the tests press: DOM key name to WebDriver's key value.
const KEYS = { " ": " ", ArrowUp: "\uE013", Escape: "\uE00C" };

// Firefox runs an AudioContext only on a sound server's output (headless Chromium fakes
// one): a private PulseAudio server with a null sink, which keeps time as a sound card does.
function startSoundServer() {
  return launch("pulseaudio", {
    args: (folder) => ["-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--disallow-module-loading", "--log-target=stderr", "--log-level=info",
                       "-L", "module-null-sink", "-L",
                       `module-native-protocol-unix socket=${folder}/native auth-anonymous=1`],
    ready: /(Daemon startup complete)/,
    env: (folder) => ({ HOME: folder, XDG_RUNTIME_DIR: folder }) });
}

export async function open() {
  const program = findProgram("KAVEO_FIREFOX", ["/usr/bin/firefox-esr", "/usr/bin/firefox"]);
  const sound = await startSoundServer();
  let firefox, session, context;
  try {
    firefox = await launch(program, {
      args: (profile) => ["--headless", "--no-remote", "--profile", profile,
                          "--remote-debugging-port", "0", "about:blank"],
      ready: /WebDriver BiDi listening on (ws:\/\/\S+)/,
      prepare: (profile) => writeFileSync(join(profile, "user.js"), Object.entries(PREFERENCES)
        .map(([name, value]) => `user_pref("${name}", ${JSON.stringify(value)});\n`).join("")),
      // Its caches and settings go in the profile too; connections beyond this machine are
      // refused.
      env: (profile) => ({ HOME: profile, MOZ_CRASHREPORTER_DISABLE: "1",
                           MOZ_DISABLE_NONLOCAL_CONNECTIONS: "1",
                           PULSE_SERVER: `unix:${sound.folder}/native` }) });
    session = await connect(`${firefox.found}/session`);
    await session.send("session.new", { capabilities: {} });
    context = (await session.send("browsingContext.getTree")).contexts[0].context;
    // Room for the whole screen at its natural size, as Chromium's window has.
    await session.send("browsingContext.setViewport",
                       { context, viewport: { width: 1400, height: 900 } });
  } catch (error) {
    if (firefox) await firefox.stop();
    await sound.stop();
    throw error;
  }
  const { send } = session;
  const act = (source) => send("input.performActions", { context, actions: [source] });

  return {
    async navigate(url) {
      await send("browsingContext.navigate", { context, url, wait: "complete" });
    },
    // Evaluates an expression in the page (awaiting a promise) and returns its value, which
    // travels as JSON text.
    async evaluate(expression) {
      const result = await send("script.evaluate", {
        expression: `(async () => JSON.stringify(await (${expression})))()`,
        target: { context }, awaitPromise: true, resultOwnership: "none" });
      if (result.type === "exception")
        throw new Error(`${expression}: ${JSON.stringify(result.exceptionDetails)}`);
      return result.result.type === "string" ? JSON.parse(result.result.value) : undefined;
    },
    async click(x, y) {
      await act({ type: "pointer", id: "mouse", parameters: { pointerType: "mouse" }, actions: [
        { type: "pointerMove", x: Math.round(x), y: Math.round(y) },
        { type: "pointerDown", button: 0 }, { type: "pointerUp", button: 0 }] });
    },
    // A key press and release, as the browser would deliver it.
    async key(name) {
      await act({ type: "key", id: "keyboard", actions: [
        { type: "keyDown", value: KEYS[name] }, { type: "keyUp", value: KEYS[name] }] });
    },
    async screenshot() {
      return (await send("browsingContext.captureScreenshot", { context })).data;
    },
    async close() {
      session.close();
      await firefox.stop();
      await sound.stop();
    },
  };
}
