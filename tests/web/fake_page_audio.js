// The page's audio (Module.audio of player.js) for the web audio back end's test under node:
// a 3-second soundtrack, an audio clock the test sets, and the offset of the source playing.
Module["audio"] = {
  clock: 0,      // seconds, what time() answers
  source: null,  // the offset the playing source started at, null when none plays
  ready() { return true; },
  length() { return 3; },
  time() { return this.clock; },
  start(offset) { this.source = offset; return this.clock; },
  stop() { this.source = null; },
};
