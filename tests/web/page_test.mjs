// The web player in a headless browser, as a viewer uses it:
//   node --experimental-websocket page_test.mjs BROWSER PAGE.html NATIVE_KAVEO FONT.bin PALETTE.h
// with BROWSER chromium or firefox (browser.mjs). The page loads from a file and over HTTP
// and shows the start screen; a click starts the sound and the demo time runs at real-time
// speed; the screen at a caption's time, read back from a screenshot cell by cell through
// the font and the palette, equals `kaveo render`'s frame; Space shows the statistics; the
// end offers to play again; Escape stops.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createServer } from "node:http";
import { resolve } from "node:path";
import { pathToFileURL } from "node:url";
import { BROWSER_NAMES, openBrowser } from "./browser.mjs";

const [browserName, pagePath, nativeKaveo, fontPath, palettePath] = process.argv.slice(2);
if (!palettePath || !BROWSER_NAMES.includes(browserName)) {
  console.error(`usage: page_test.mjs ${BROWSER_NAMES.join("|")} PAGE.html NATIVE_KAVEO FONT.bin ` +
                "PALETTE.h");
  process.exit(2);
}
const COLUMNS = 80, ROWS = 50, GLYPH_WIDTH = 8, GLYPH_HEIGHT = 16;
const font = readFileSync(fontPath); // 16 bytes a glyph, leftmost pixel in bit 7
// The palette as the C++ source states it, in attribute order.
const palette = [...readFileSync(palettePath, "utf8").matchAll(/\{(\d+), (\d+), (\d+)\}/g)]
  .map((m) => [Number(m[1]), Number(m[2]), Number(m[3])]);
assert.equal(palette.length, 16, "palette table not understood");

// A caption ("NO PIXELS") whose picture depends on the time alone, not on earlier frames:
// frame 550 at dt 0.01 is t = 5.5 s.
const CAPTION_FRAME = 550, CAPTION_TIME = 5.5;

function renderFrame(frame) {
  const run = spawnSync(nativeKaveo, ["render", "--frames", String(frame)],
                        { maxBuffer: 1 << 20 });
  assert.equal(run.status, 0, String(run.stderr));
  assert.equal(run.stdout.length, COLUMNS * ROWS * 2);
  return run.stdout; // character and attribute byte of each cell
}

function nearestColor(r, g, b) {
  let best = 0, bestDistance = Infinity;
  palette.forEach(([pr, pg, pb], i) => {
    const d = (pr - r) ** 2 + (pg - g) ** 2 + (pb - b) ** 2;
    if (d < bestDistance) { best = i; bestDistance = d; }
  });
  return bestDistance <= 3 * 8 * 8 ? best : -1; // -1: no console colour
}

// Reads the canvas back from a screenshot: one RGB sample at the centre of every glyph pixel
// of every cell, in cell order, row by row of the glyph.
async function screenSamples(browser) {
  const shot = await browser.screenshot();
  const base64 = await browser.evaluate(`(async () => {
    const image = new Image();
    image.src = "data:image/png;base64,${shot}";
    await image.decode();
    const canvas = document.createElement("canvas");
    canvas.width = image.width; canvas.height = image.height;
    const context = canvas.getContext("2d");
    context.drawImage(image, 0, 0);
    const shot = context.getImageData(0, 0, image.width, image.height).data;
    const box = document.getElementById("screen").getBoundingClientRect();
    const ratio = window.devicePixelRatio || 1;
    const out = new Uint8Array(${COLUMNS * ROWS * GLYPH_WIDTH * GLYPH_HEIGHT * 3});
    let n = 0;
    for (let cy = 0; cy < ${ROWS}; ++cy) for (let cx = 0; cx < ${COLUMNS}; ++cx)
      for (let gy = 0; gy < ${GLYPH_HEIGHT}; ++gy) for (let gx = 0; gx < ${GLYPH_WIDTH}; ++gx) {
        const x = Math.floor((box.left + (cx * ${GLYPH_WIDTH} + gx + 0.5) * box.width / ${COLUMNS * GLYPH_WIDTH}) * ratio);
        const y = Math.floor((box.top + (cy * ${GLYPH_HEIGHT} + gy + 0.5) * box.height / ${ROWS * GLYPH_HEIGHT}) * ratio);
        const at = (y * image.width + x) * 4;
        out[n++] = shot[at]; out[n++] = shot[at + 1]; out[n++] = shot[at + 2];
      }
    let text = "";
    for (let i = 0; i < out.length; i += 0x8000) text += String.fromCharCode(...out.subarray(i, i + 0x8000));
    return btoa(text);
  })()`);
  return Buffer.from(base64, "base64");
}

// Cells whose pixels on screen are not what the font and the palette make of `cells`.
function wrongCells(samples, cells) {
  const wrong = [];
  let n = 0;
  for (let cell = 0; cell < COLUMNS * ROWS; ++cell) {
    const character = cells[2 * cell], attribute = cells[2 * cell + 1];
    let same = true;
    for (let gy = 0; gy < GLYPH_HEIGHT; ++gy) {
      const row = font[character * GLYPH_HEIGHT + gy];
      for (let gx = 0; gx < GLYPH_WIDTH; ++gx, n += 3) {
        const expected = row & (0x80 >> gx) ? attribute & 15 : attribute >> 4;
        if (nearestColor(samples[n], samples[n + 1], samples[n + 2]) !== expected) same = false;
      }
    }
    if (!same) wrong.push(`(${cell % COLUMNS},${Math.floor(cell / COLUMNS)})`);
  }
  return wrong;
}

const frames = (browser) => browser.evaluate("kaveoPage.frameCosts.length");
async function afterFrames(browser, count) {
  const start = await frames(browser);
  await browser.waitFor(`kaveoPage.frameCosts.length >= ${start + count}`);
}
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// The page as a web server on this machine serves it; anything else is not found.
const page = readFileSync(pagePath);
const server = createServer((request, response) => {
  if (request.url !== "/kaveo.html") return response.writeHead(404).end();
  response.writeHead(200, { "Content-Type": "text/html; charset=utf-8" }).end(page);
});
await new Promise((listening) => server.listen(0, "127.0.0.1", listening));
const pageUrls = { "from a file": pathToFileURL(resolve(pagePath)).href,
                   "over HTTP": `http://127.0.0.1:${server.address().port}/kaveo.html` };

const browser = await openBrowser(browserName);
const checks = [];
async function check(name, body) {
  await body();
  checks.push(name);
  console.log(`ok - ${browserName}: ${name}`);
}
try {
  // The rest of the checks use the page as loaded last.
  for (const [how, url] of Object.entries(pageUrls)) {
    await check(`the page loads ${how} and shows the grey dots with how to start`, async () => {
      await browser.navigate(url);
      await browser.waitFor("window.kaveoPage && kaveoPage.state !== 'loading'");
      assert.equal(await browser.evaluate("kaveoPage.state"), "waiting",
                   await browser.evaluate("kaveoPage.error"));
      assert.match(await browser.evaluate("document.getElementById('status').textContent"),
                   /Click or press a key/);
      const dots = Buffer.alloc(COLUMNS * ROWS * 2);
      for (let i = 0; i < COLUMNS * ROWS; ++i) { dots[2 * i] = 0x2E; dots[2 * i + 1] = 0x07; }
      assert.deepEqual(wrongCells(await screenSamples(browser), dots), []);
    });
  }

  await check("a click starts the sound and the demo time runs at real-time speed", async () => {
    await browser.click(700, 400);
    await browser.waitFor("kaveoPage.state === 'playing'");
    assert.equal(await browser.evaluate("kaveoPage.audio.context.state"), "running");
    await browser.waitFor("kaveoPage.module._kaveo_time() > 0.5");
    // The demo time of a frame and when that frame read the clock.
    const read = "[kaveoPage.lastFrame.time, kaveoPage.lastFrame.at, kaveoPage.audio.context.currentTime]";
    const [t0, wall0, audio0] = await browser.evaluate(read);
    await sleep(3000);
    const [t1, wall1, audio1] = await browser.evaluate(read);
    const speed = (t1 - t0) / ((wall1 - wall0) / 1000);
    console.log(`# demo time ran ${(t1 - t0).toFixed(3)} s in ${((wall1 - wall0) / 1000).toFixed(3)} s (audio clock ${(audio1 - audio0).toFixed(3)} s)`);
    assert.ok(Math.abs(speed - 1) <= 0.05, `speed ${speed}`);
  });

  await check("Space shows the statistics", async () => {
    await browser.key(" ");
    await afterFrames(browser, 2);
    assert.match(await browser.evaluate("document.getElementById('status').textContent"),
                 /^Tempus \d+\.\d est, et FPS \d+\.\d\.$/);
  });

  await check("the screen at a caption's time equals kaveo render's frame", async () => {
    await browser.evaluate(`kaveoPage.module._kaveo_show(${CAPTION_TIME})`);
    await afterFrames(browser, 3);
    const wrong = wrongCells(await screenSamples(browser), renderFrame(CAPTION_FRAME));
    assert.deepEqual(wrong.slice(0, 10), [], `${wrong.length} cells differ`);
  });

  await check("a click after Space marks the cell under the mouse with its coordinates", async () => {
    const [x, y] = await browser.evaluate(`(() => {
      const box = document.getElementById("screen").getBoundingClientRect();
      return [box.left + 10.5 * box.width / ${COLUMNS}, box.top + 20.5 * box.height / ${ROWS}];
    })()`);
    await browser.click(x, y);
    await afterFrames(browser, 2);
    // The overlay's cross (0xC5) then "(10,20)", black on white, from the clicked cell on.
    const cells = await browser.evaluate(`(() => {
      const m = kaveoPage.module, at = m._kaveo_cells() + (20 * ${COLUMNS} + 10) * 4;
      return Array.from({ length: 8 }, (_, i) => [m.HEAPU8[at + 4 * i], m.HEAPU8[at + 4 * i + 2]]);
    })()`);
    const text = String.fromCharCode(...cells.map(([c]) => c));
    assert.equal(text, "\u00C5(10,20)");
    assert.ok(cells.every(([, attribute]) => attribute === 0xF0), JSON.stringify(cells));
    assert.equal(await browser.evaluate("kaveoPage.module._kaveo_paused()"), 1);
  });

  await check("the demo ends at its end and offers to play again", async () => {
    await browser.evaluate("kaveoPage.module._kaveo_show(58.9)");
    await browser.key("ArrowUp"); // resumes
    await browser.waitFor("kaveoPage.state === 'ended'", 5000);
    assert.match(await browser.evaluate("document.getElementById('status').textContent"),
                 /play again/);
    // Started again by Escape: its release is not taken as a control and stops nothing.
    await browser.key("Escape");
    await browser.waitFor("kaveoPage.state === 'playing'");
    await afterFrames(browser, 3);
    assert.equal(await browser.evaluate("kaveoPage.state"), "playing");
    assert.ok(await browser.evaluate("kaveoPage.module._kaveo_time() < 2"));
  });

  await check("Escape stops", async () => {
    await browser.key("Escape");
    await browser.waitFor("kaveoPage.state === 'stopped'", 5000);
    // suspend() takes effect when the audio thread has stopped: Firefox may report it later.
    await browser.waitFor("kaveoPage.audio.context.state === 'suspended'", 5000);
  });
} finally {
  await browser.close();
  server.close();
}
console.log(`page in ${browserName}: ${checks.length} checks passed`);
