// The page's side of the web player: the canvas, the keyboard and mouse, the AudioContext,
// and the animation frames that drive the module (web_player.cpp). No framework.
"use strict";
(() => {
  const OK = 0, DEMO_ENDED = 4, STOPPED = 5;
  const MESSAGES = { 1: "Cannot initialize console.", 2: "Cannot initialize demo.",
                     3: "Cannot load music." };
  const COLUMNS = 80, ROWS = 50;
  // Browser key names to the console's virtual-key codes; letters and digits are their own.
  const KEYS = { Escape: 27, " ": 32, PageUp: 33, PageDown: 34, End: 35, Home: 36,
                 ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };

  const canvas = document.getElementById("screen");
  const painter = canvas.getContext("2d", { alpha: false });
  const status = document.getElementById("status");

  // The soundtrack: decoded while the start screen stands (a suspended context decodes
  // too), so that a click starts the sound at once. Module.audio for audio_web.cpp.
  const audio = {
    context: null, buffer: null, source: null, decoding: null,
    ready() { return this.context !== null && this.buffer !== null; },
    length() { return this.buffer.duration; },
    // The audio clock as heard: the next sample to be rendered, less the way to the ears.
    time() { return this.context.currentTime - (this.context.outputLatency || 0); },
    start(offset) {
      this.stop();
      const source = this.context.createBufferSource();
      source.buffer = this.buffer;
      source.connect(this.context.destination);
      const when = this.context.currentTime;
      source.start(when, Math.min(Math.max(offset, 0), this.buffer.duration));
      this.source = source;
      return when;
    },
    stop() {
      if (this.source === null) return;
      this.source.stop();
      this.source.disconnect();
      this.source = null;
    },
  };

  // What the tests and the benchmark read: state, frame costs, click to first sound.
  const page = window.kaveoPage = { state: "loading", module: null, audio, frameCosts: [],
                                    lastFrame: null, clickAt: 0, firstSoundFrameAt: 0, error: "" };
  let kaveo = null;

  function setState(state, text) {
    page.state = state;
    status.textContent = text;
  }

  function fail(code) {
    page.error = MESSAGES[code] || "Demo error.";
    setState("failed", "Demo error. " + page.error);
  }

  // Cells are square on screen: the glyphs are stretched to the larger of their sides, then
  // scaled by the largest whole number (in device pixels) that fits the window.
  function fit() {
    const glyphWidth = canvas.width / COLUMNS, glyphHeight = canvas.height / ROWS;
    const side = Math.max(glyphWidth, glyphHeight);
    const ratio = window.devicePixelRatio || 1;
    const room = Math.min(window.innerWidth * ratio / (COLUMNS * side),
                          (window.innerHeight - 32) * ratio / (ROWS * side));
    const scale = Math.max(1, Math.floor(room));
    canvas.style.width = (COLUMNS * side * scale / ratio) + "px";
    canvas.style.height = (ROWS * side * scale / ratio) + "px";
  }

  function paint() {
    if (kaveo._kaveo_paint() === 0) return;
    const width = kaveo._kaveo_pixel_width(), height = kaveo._kaveo_pixel_height();
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
      fit();
    }
    // A view of the module's memory, made again each time: memory growth replaces it.
    const pixels = new Uint8ClampedArray(kaveo.HEAPU8.buffer, kaveo._kaveo_pixels(),
                                         width * height * 4);
    painter.putImageData(new ImageData(pixels, width, height), 0, 0);
  }

  function open() {
    const code = kaveo._kaveo_open();
    if (code !== OK) return fail(code);
    paint();
    setState("waiting", "Click or press a key to start.");
  }

  async function decodeSoundtrack() {
    const at = kaveo._kaveo_soundtrack(), size = kaveo._kaveo_soundtrack_size();
    // decodeAudioData takes the bytes over, so it gets a copy.
    const bytes = kaveo.HEAPU8.slice(at, at + size).buffer;
    audio.buffer = await audio.context.decodeAudioData(bytes);
  }

  async function start() {
    setState("starting", "Starting...");
    try {
      await audio.context.resume();
      await audio.decoding;
    } catch (error) {
      return fail(3);
    }
    const code = kaveo._kaveo_start();
    if (code !== OK) return fail(code);
    page.firstSoundFrameAt = 0;
    setState("playing", "");
    requestAnimationFrame(frame);
  }

  function frame() {
    if (page.state !== "playing") return;
    const begin = performance.now();
    const result = kaveo._kaveo_frame();
    if (result === OK) paint();
    page.frameCosts.push(performance.now() - begin);
    page.lastFrame = { at: begin, time: kaveo._kaveo_time() }; // the clock read at `begin`
    if (page.firstSoundFrameAt === 0 && kaveo._kaveo_time() > 0 &&
        audio.context.state === "running") {
      page.firstSoundFrameAt = performance.now();
    }
    if (result === OK) {
      status.textContent = kaveo._kaveo_statistics() ? kaveo.UTF8ToString(kaveo._kaveo_title()) : "";
      if (kaveo._kaveo_statistics()) document.title = status.textContent;
      requestAnimationFrame(frame);
    } else {
      audio.context.suspend();
      setState(result === DEMO_ENDED ? "ended" : "stopped",
               (result === DEMO_ENDED ? "The end." : "Stopped.") +
               " Click or press a key to play again.");
    }
  }

  // The first gesture starts the sound (browsers allow it only then); after the end or a
  // stop, the next one plays again from the start.
  function gesture(event) {
    if (page.state === "waiting" || page.state === "ended" || page.state === "stopped") {
      event.preventDefault();
      page.clickAt = event.timeStamp;
      if (page.state !== "waiting") open();
      if (page.state === "waiting") start();
      return true;
    }
    return false;
  }

  function virtualKey(event) {
    if (event.key in KEYS) return KEYS[event.key];
    if (event.key.length === 1 && /[a-z0-9]/i.test(event.key)) return event.key.toUpperCase().charCodeAt(0);
    return 0;
  }

  // A key acts when it goes down, on every repeat and when it is released, as in a console;
  // but the key that started the demo is not also a control when it is released.
  let startingKey = null;
  function key(event, down) {
    if (!down && event.code === startingKey) {
      startingKey = null;
      return;
    }
    if (page.state !== "playing") {
      if (down && !event.repeat && !event.ctrlKey && !event.altKey && !event.metaKey &&
          gesture(event)) {
        startingKey = event.code;
      }
      return;
    }
    const code = virtualKey(event);
    if (code === 0 || event.ctrlKey || event.altKey || event.metaKey) return;
    event.preventDefault();
    kaveo._kaveo_key(code, down ? 1 : 0);
  }

  // Mouse events in cells; the console's button bits (left 1, right 2, middle 4) are the
  // browser's. The second press of a double click carries the double-click flag.
  function mouse(event, flags) {
    if (page.state !== "playing" || !kaveo._kaveo_mouse_input()) return;
    const box = canvas.getBoundingClientRect();
    const column = Math.floor((event.clientX - box.left) * COLUMNS / box.width);
    const row = Math.floor((event.clientY - box.top) * ROWS / box.height);
    kaveo._kaveo_mouse(column, row, event.buttons & 7, flags);
  }

  window.addEventListener("keydown", (event) => key(event, true));
  window.addEventListener("keyup", (event) => key(event, false));
  window.addEventListener("mousedown", (event) => {
    if (gesture(event)) return;
    mouse(event, event.detail === 2 ? 2 : 0);
  });
  window.addEventListener("mouseup", (event) => mouse(event, 0));
  window.addEventListener("mousemove", (event) => mouse(event, 1));
  window.addEventListener("contextmenu", (event) => event.preventDefault());
  window.addEventListener("resize", fit);

  createKaveo({ audio }).then((module) => {
    kaveo = page.module = module;
    audio.context = new AudioContext();
    open();
    if (page.state !== "waiting") return;
    audio.decoding = decodeSoundtrack();
    audio.decoding.catch(() => {}); // reported when the viewer starts
  }, () => fail(2));
})();
