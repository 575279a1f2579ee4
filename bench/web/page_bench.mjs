// The web player's costs in a headless browser:
//   node --experimental-websocket bench/web/page_bench.mjs build-web/kaveo.html [SECONDS] [BROWSER]
// Plays the demo for SECONDS (default 20) in BROWSER (chromium, the default, or firefox)
// after a click and reports the frame cost (the
// module's frame and the canvas painting, per animation frame: median and 99th percentile),
// the page weight, and the time from the click to the first frame with sound.
import { statSync } from "node:fs";
import { resolve } from "node:path";
import { pathToFileURL } from "node:url";
import { openBrowser } from "../../tests/web/browser.mjs";

const [pagePath, seconds = "20", browserName = "chromium"] = process.argv.slice(2);
if (!pagePath) {
  console.error("usage: page_bench.mjs PAGE.html [SECONDS] [BROWSER]");
  process.exit(2);
}
const browser = await openBrowser(browserName);
try {
  await browser.navigate(pathToFileURL(resolve(pagePath)).href);
  await browser.waitFor("window.kaveoPage && kaveoPage.state === 'waiting'", 30000);
  await browser.evaluate("kaveoPage.audio.decoding"); // as a viewer who looks before clicking
  await browser.click(700, 400);
  await browser.waitFor("kaveoPage.firstSoundFrameAt > 0", 10000);
  await new Promise((done) => setTimeout(done, Number(seconds) * 1000));
  const result = await browser.evaluate(`(() => {
    const costs = kaveoPage.frameCosts.slice(1).sort((a, b) => a - b);
    const at = (q) => costs[Math.min(costs.length - 1, Math.floor(q * costs.length))];
    return { frames: costs.length, median: at(0.5), p90: at(0.9), p99: at(0.99),
             max: costs[costs.length - 1], over2: costs.filter((c) => c > 2).length,
             clickToSound: kaveoPage.firstSoundFrameAt - kaveoPage.clickAt,
             time: kaveoPage.module._kaveo_time() };
  })()`);
  const weight = statSync(pagePath).size;
  console.log(`frames ${result.frames} in ${seconds} s (demo time ${result.time.toFixed(2)} s)`);
  console.log(`frame cost: median ${result.median.toFixed(3)} ms, p90 ${result.p90.toFixed(3)} ms, ` +
              `p99 ${result.p99.toFixed(3)} ms, max ${result.max.toFixed(3)} ms; ` +
              `${result.over2} frames over 2 ms`);
  console.log(`page weight: ${weight} bytes (${(weight / 1e6).toFixed(3)} MB)`);
  console.log(`click to the first frame with sound: ${result.clickToSound.toFixed(1)} ms`);
} finally {
  await browser.close();
}
