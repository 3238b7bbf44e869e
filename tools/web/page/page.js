// The page around the game: the canvas the game's frames are put on, the
// WebAudio output fed from the game's own mixer, the overlays (click to
// play, paused, play again), full screen, and the test mode.
//
// Test mode: index.html?test&seed=N&keys=SCRIPT&stop=N runs the key script
// (the runner's script format, lines joined with ';') from the seed to frame
// N as fast as it can and leaves that frame on the canvas; no record is read
// or written.
"use strict";
(function () {
  const params = new URLSearchParams(window.location.search);
  const testMode = params.has("test");
  const $ = (id) => document.getElementById(id);
  const canvas = $("canvas");
  const context = canvas.getContext("2d", { alpha: false });
  let image = null;   // a view of the frame in the program's memory

  // Figures the tests read: times in ms since the page started loading.
  const figures = { readyAt: null, firstFrameAt: null, testDone: false, testFrame: 0,
                    audioFrames: 0, audioLoudFrames: 0, audioRate: 0, ended: 0, failed: null };
  let audio = null;
  let volume = null;
  let mixBuffer = 0;
  // Muting (M) is remembered, like the high score.
  let muted = false;
  try { muted = window.localStorage.getItem("pellimunch/mute") === "yes"; } catch (e) {}
  const MixFrames = 1024;

  function show(id, on) { $(id).hidden = !on; }

  // The sound: a processor node pulls stereo 16-bit frames from the mixer.
  function startAudio() {
    if (audio) { audio.resume(); return; }
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) { console.warn("pellimunch: no WebAudio here; playing without sound"); return; }
    try {
      audio = new Context({ sampleRate: 44100 });   // the mixer's own rate
    } catch (e) {
      console.warn("pellimunch: no sound (" + e + ")");
      return;
    }
    figures.audioRate = audio.sampleRate;
    volume = audio.createGain();
    volume.gain.value = muted ? 0 : 1;
    volume.connect(audio.destination);
    mixBuffer = Module._malloc(MixFrames * 4);
    const node = audio.createScriptProcessor(MixFrames, 0, 2);
    node.onaudioprocess = (event) => {
      const out = event.outputBuffer;
      const n = Math.min(out.length, MixFrames);
      Module._pm_mix(mixBuffer, n);
      const pcm = Module.HEAP16.subarray(mixBuffer >> 1, (mixBuffer >> 1) + 2 * n);
      const left = out.getChannelData(0), right = out.getChannelData(1);
      let loud = 0;
      for (let i = 0; i < n; i++) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
        if (pcm[2 * i] !== 0 || pcm[2 * i + 1] !== 0) loud++;
      }
      figures.audioFrames += n;
      figures.audioLoudFrames += loud;
    };
    node.connect(volume);
  }

  function play() {
    show("start", false);
    show("over", false);
    startAudio();
    Module._pm_play(muted ? 1 : 0);
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else {
      $("stage").requestFullscreen().catch((e) => console.warn("pellimunch: no full screen (" + e + ")"));
    }
  }

  // What the game's side calls (src/web_main.cpp, src/platform/web).
  const page = {
    present(rgba, width, height) {
      // The picture goes to the canvas straight from the program's memory;
      // the view is made again only when that memory has moved.
      if (!image || image.data.buffer !== Module.HEAPU8.buffer || image.data.byteOffset !== rgba) {
        image = new ImageData(new Uint8ClampedArray(Module.HEAPU8.buffer, rgba, width * height * 4), width, height);
      }
      context.putImageData(image, 0, 0);
      if (figures.firstFrameAt === null) figures.firstFrameAt = performance.now();
    },
    cursor(visible) { canvas.style.cursor = visible ? "" : "none"; },
    paused(on) {
      show("pause", on);
      if (audio) { if (on) audio.suspend(); else audio.resume(); }
    },
    ended(highScore) {
      figures.ended++;
      if (audio) audio.suspend();
      $("best").textContent = "High score: " + highScore;
      show("pause", false);
      show("over", true);
      $("again").focus();
    },
    failed(message) {
      figures.failed = message;
      $("message-text").textContent = "Pellimunch cannot go on: " + message;
      show("start", false);
      show("message", true);
    },
    saveError(title, text) {
      console.error("pellimunch: " + title + ": " + text);
      $("message-text").textContent = title + "\n" + text;
      show("message", true);
    },
    muted(on) {
      muted = on;
      if (volume) volume.gain.value = muted ? 0 : 1;
      try { window.localStorage.setItem("pellimunch/mute", muted ? "yes" : "no"); } catch (e) {}
    },
    testDone(frame) { figures.testDone = true; figures.testFrame = frame; },
    // The program is ready: run the test, or wait for the player's click.
    started() {
      figures.readyAt = performance.now();
      if (testMode) {
        show("start", false);
        const seed = Number(params.get("seed") || "1");
        const stop = Number(params.get("stop") || "1");
        // After this call returns, so that a failure shows as the page's message.
        setTimeout(() => Module.ccall("pm_test", "number", ["number", "string", "number"],
                                      [seed, params.get("keys") || "", stop]), 0);
        return;
      }
      $("play").disabled = false;
      $("play").textContent = "Click to play";
      $("play").focus();
    },
  };

  const probes = { frame: 0, gameState: 1, ballX: 2, score: 3, highScore: 4, running: 5, paused: 6,
                   frames: 10, workMs: 11, maxWorkMs: 12, framesOver1Ms: 13, presentMs: 14 };
  window.pellimunch = {
    figures,
    probe(name) { return Module._pm_probe(probes[name]); },
    get audioState() { return audio ? audio.state : "none"; },
    get muted() { return muted; },
  };

  $("play").addEventListener("click", play);
  $("again").addEventListener("click", play);
  $("resume").addEventListener("click", () => Module._pm_resume());
  $("fullscreen").addEventListener("click", toggleFullScreen);
  document.addEventListener("keydown", (e) => {
    if (e.altKey && (e.code === "Enter" || e.code === "NumpadEnter")) {
      e.preventDefault();
      toggleFullScreen();
    }
  });
  window.addEventListener("pagehide", () => { if (window.Module && Module._pm_page_closing) Module._pm_page_closing(); });

  window.Module = {
    canvas,
    pmPage: page,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
    onAbort: (what) => page.failed(String(what)),
  };

  const script = document.createElement("script");
  script.src = "pellimunch.js";
  script.onerror = () => page.failed("cannot load pellimunch.js");
  document.body.appendChild(script);
})();
