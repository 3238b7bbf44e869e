// The page around the game: the download with its progress, the canvas the
// game's frames are put on, the sound fed from the game's own mixer, the
// overlays (play, paused, play again, ending, failures), the tool bar (pause,
// mute, full screen; on a touch screen give up and end), the on-screen keys
// of touch.js, the picture drawn by screen.js, the offline copy kept by the
// service worker, and the test mode.
//
// Test mode: index.html?test&seed=N&keys=SCRIPT&stop=N runs the key script
// (the runner's script format, lines joined with ';') from the seed to frame
// N as fast as it can, in slices that keep the tab responsive with a
// progress line, and leaves that frame on the canvas; no record is read or
// written. Out-of-range values are refused with a message.
"use strict";
(function () {
  const params = new URLSearchParams(window.location.search);
  const testMode = params.has("test");
  const $ = (id) => document.getElementById(id);
  const canvas = $("canvas");
  const screen = window.PellimunchScreen(canvas);
  let ready = false;  // the program has started
  let running = false;

  // Figures the tests read: times in ms since the page started loading.
  const figures = { readyAt: null, firstFrameAt: null, testDone: false, testFrame: 0,
                    audioFrames: 0, audioLoudFrames: 0, audioRate: 0, audioPath: "none", audioUnderruns: 0,
                    ended: 0, failed: null, saveFailed: null, recordNotice: null, loaded: 0, total: 0 };

  // Mended: the test mode took any number (a negative or huge stop froze the
  // tab, a bad seed wrapped silently) and copied any key script onto the
  // program's small stack (a long one crashed it). Now its limits: the
  // runner's seed range, at most this many frames (an hour of play; run flat
  // out, a few minutes) and characters, and the script goes to the heap.
  const MaxTestFrames = 216000;
  const MaxKeysLength = 1 << 20;

  function show(id, on) { $(id).hidden = !on; }
  let noticeTimer = 0;

  // ---- Sound: the game's mixer makes stereo 16-bit frames at 44100 Hz. An
  // AudioWorklet plays them on the audio thread from blocks the page mixes
  // ahead; where there is none, a ScriptProcessorNode pulls them instead.
  let audio = null;
  let volume = null;
  let muted = false;   // muting (M) is remembered, like the high score
  try { muted = window.localStorage.getItem("pellimunch/mute") === "yes"; } catch (e) {}
  const MixFrames = 512;          // one block
  const AheadFrames = 4 * 512;    // mixed ahead for the worklet: 46 ms
  let mixBuffer = 0;

  // The next `n` frames of the mix, counted for the figures; a view into the
  // program's memory, valid until the next call.
  function mix(n) {
    if (!mixBuffer) mixBuffer = Module._malloc(MixFrames * 4);
    Module._pm_mix(mixBuffer, n);
    const pcm = Module.HEAP16.subarray(mixBuffer >> 1, (mixBuffer >> 1) + 2 * n);
    let loud = 0;
    for (let i = 0; i < 2 * n; i += 2) if (pcm[i] !== 0 || pcm[i + 1] !== 0) loud++;
    figures.audioFrames += n;
    figures.audioLoudFrames += loud;
    return pcm;
  }

  function startScriptProcessor() {
    const node = audio.createScriptProcessor(MixFrames, 0, 2);
    node.onaudioprocess = (event) => {
      const out = event.outputBuffer;
      const left = out.getChannelData(0), right = out.getChannelData(1);
      for (let at = 0; at < out.length; at += MixFrames) {
        const n = Math.min(MixFrames, out.length - at);
        const pcm = mix(n);
        for (let i = 0; i < n; i++) {
          left[at + i] = pcm[2 * i] / 32768;
          right[at + i] = pcm[2 * i + 1] / 32768;
        }
      }
    };
    node.connect(volume);
    figures.audioPath = "script";
  }

  function startWorklet() {
    const node = new AudioWorkletNode(audio, "pellimunch-output", { numberOfInputs: 0, outputChannelCount: [2] });
    let ahead = 0;
    const topUp = () => {
      while (ahead < AheadFrames) {
        node.port.postMessage(mix(MixFrames).slice());
        ahead += MixFrames;
      }
    };
    node.port.onmessage = (e) => {
      ahead -= e.data.played;
      figures.audioUnderruns = e.data.underruns;
      topUp();
    };
    topUp();
    node.connect(volume);
    figures.audioPath = "worklet";
  }

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
    if (audio.audioWorklet && window.AudioWorkletNode) {
      audio.audioWorklet.addModule("mixer-worklet.js").then(startWorklet, (e) => {
        console.warn("pellimunch: no audio worklet (" + e + "); using the script processor");
        startScriptProcessor();
      });
    } else {
      startScriptProcessor();
    }
  }
  // The first touch or click anywhere may start sound the browser held back.
  for (const type of ["touchend", "pointerdown", "keydown"]) {
    document.addEventListener(type, () => { if (audio && audio.state === "suspended" && running && !paused()) audio.resume(); });
  }

  function setMuted(on) {
    muted = on;
    if (volume) volume.gain.value = muted ? 0 : 1;
    $("mute-button").setAttribute("aria-pressed", String(muted));
    try { window.localStorage.setItem("pellimunch/mute", muted ? "yes" : "no"); } catch (e) {}
  }
  $("mute-button").setAttribute("aria-pressed", String(muted));

  // ---- Keys from the page (touch, the tool bar) into the game's key table.
  const keyCodes = new Map();
  function sendKey(domCode, down) {
    if (!ready || !Module._pm_key) return;
    if (!keyCodes.has(domCode)) keyCodes.set(domCode, Module.ccall("pm_key_code", "number", ["string"], [domCode]));
    Module._pm_key(keyCodes.get(domCode), down ? 1 : 0);
  }
  // A press shorter than a frame still counts: the key table keeps it for one.
  function tapKey(domCode) { sendKey(domCode, true); sendKey(domCode, false); }
  const touch = window.PellimunchTouch($("stage"), sendKey, () => { if (ready && running) Module._pm_focus_lost(); });
  const paused = () => !$("pause").hidden;

  // A text for the program while `use` runs: on its heap, never its small
  // stack, which a long key script or replay would overflow.
  function withText(string, use) {
    const bytes = new TextEncoder().encode(string);
    const at = Module._malloc(bytes.length + 1);
    Module.HEAPU8.set(bytes, at);
    Module.HEAPU8[at + bytes.length] = 0;
    try {
      return use(at);
    } finally {
      Module._free(at);
    }
  }

  function play() {
    show("start", false);
    show("over", false);
    show("save-failed", false);
    startAudio();
    running = true;
    Module._pm_play(muted ? 1 : 0);
  }

  // A run from the world table (a replay's text), watched at the game's pace
  // with the page's controls as in play.
  function watch(text) {
    show("start", false);
    show("over", false);
    startAudio();
    running = withText(text, (at) => Module._pm_watch(at, muted ? 1 : 0)) === 0;
  }

  // The daily run of `day` (YYYYMMDD), racing `ghost` (a replay's text) unless empty.
  function daily(day, ghost) {
    show("start", false);
    show("over", false);
    startAudio();
    running = withText(ghost, (at) => Module._pm_daily(day, at, muted ? 1 : 0)) === 0;
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {});
    } else if (document.fullscreenEnabled) {
      $("stage").requestFullscreen({ navigationUI: "hide" }).catch((e) => console.warn("pellimunch: no full screen (" + e + ")"));
    }
  }
  // Where the browser has no full screen (a phone's in-app browser), no button for it.
  if (!document.fullscreenEnabled) $("fullscreen").hidden = true;

  // `text` is shown; the figures keep `why`, the bare reason.
  function failed(text, why = text) {
    figures.failed = why;
    running = false;
    $("message-text").textContent = text;
    show("start", false);
    show("pause", false);
    show("message", true);
  }

  // What the game's side calls (src/hosts/web/main.cpp, src/hosts/web).
  const page = {
    present(rgb565, rgba, width, height, first, end) {
      // The test mode draws once a slice: the rows changed meanwhile.
      if (testing) {
        testing.frame = [rgb565, rgba];
        testing.first = Math.min(testing.first, first);
        testing.end = Math.max(testing.end, end);
        return;
      }
      screen.present(Module.HEAPU8, rgb565, rgba, first, end);
      if (figures.firstFrameAt === null) figures.firstFrameAt = performance.now();
    },
    cursor(visible) { canvas.style.cursor = visible ? "" : "none"; },
    paused(on) {
      show("pause", on);
      if (on) touch.forget();
      if (audio) { if (on) audio.suspend(); else audio.resume(); }
    },
    ended(highScore) {
      figures.ended++;
      running = false;
      touch.forget();
      if (audio) audio.suspend();
      $("best").textContent = "High score: " + highScore;
      show("pause", false);
      show("confirm-end", false);
      show("touch-hint", false);
      show("over", true);
      $("again").focus();
      updateWhenIdle();
    },
    failed(message) { failed("Pellimunch cannot go on: " + message, message); },
    // The record could not be kept: the player is told on the page, at once
    // and again at the end of the session.
    saveFailed(text) {
      if (!text) { show("save-failed", false); return; }
      figures.saveFailed = text;
      console.warn("pellimunch: " + text);
      $("save-failed").textContent = text;
      show("save-failed", true);
      $("notice").textContent = text;
      show("notice", true);
      clearTimeout(noticeTimer);
      noticeTimer = setTimeout(() => show("notice", false), 8000);
    },
    // The shutdown's box, in the desktop's words about score.dat: the
    // browser's record has already told its failure in the page's own.
    saveError() {},
    // A word about the stored record (one that holds no number was set aside).
    recordNotice(text) {
      figures.recordNotice = text;
      console.warn("pellimunch: " + text);
      $("notice").textContent = text;
      show("notice", true);
      clearTimeout(noticeTimer);
      noticeTimer = setTimeout(() => show("notice", false), 15000);
    },
    // The session's mute (M, the mute button) changed.
    muted(on) { setMuted(!!on); },
    // The test run's last frame: told once its picture is on the canvas.
    testDone(frame) { pendingTestFrame = frame; },
    // The world table (board.js), where a board serves this page.
    newBest(highScore) { if (window.pmBoard) window.pmBoard.newBest(highScore); },
    // The daily run's one game is over (daily.js).
    dailyEnded(score, level, share) { if (window.pmDaily) window.pmDaily.ended(score, level, share); },
    // The program is ready: run the test, or wait for the player.
    started() {
      ready = true;
      figures.readyAt = performance.now();
      figures.webgl = screen.gl;
      Module._pm_canvas_gl(screen.gl ? 1 : 0);
      show("progress", false);
      if (testMode) {
        show("start", false);
        // After this call returns, so that a failure shows as the page's message.
        setTimeout(runTest, 0);
        return;
      }
      $("play").disabled = false;
      $("play").textContent = touch.shown ? "Tap to play" : "Click to play";
      $("play").focus();
      if (window.pmBoard) window.pmBoard.ready();
      if (window.pmDaily) window.pmDaily.ready();
    },
  };

  // ---- The test mode, its numbers checked as the runner checks its options.
  function testNumber(name, fallback, low, high) {
    const text = params.has(name) ? params.get(name) : fallback;
    if (!/^[0-9]{1,16}$/.test(text) || Number(text) < low || Number(text) > high) {
      throw new Error(`test mode: bad value "${text.slice(0, 40)}" for ${name} (expected ${low} to ${high})`);
    }
    return Number(text);
  }
  function runTest() {
    let seed, stop;
    const keys = params.get("keys") || "";
    try {
      seed = testNumber("seed", "1", 0, 4294967295);
      stop = testNumber("stop", "1", 1, MaxTestFrames);
      if (keys.length > MaxKeysLength) {
        throw new Error(`test mode: the key script is ${keys.length} characters long; at most ${MaxKeysLength} are taken`);
      }
    } catch (e) {
      failed(e.message);
      return;
    }
    if (withText(keys, (text) => Module._pm_test(seed, text, stop)) !== 0) return;
    // Slices of about 40 ms, the rest of the time the browser's.
    testing = { first: Infinity, end: 0, frame: null };
    const line = $("test-progress");
    const slice = () => {
      const done = Module._pm_test_slice(40);
      const t = testing;
      if (t.frame && t.end > t.first) screen.present(Module.HEAPU8, t.frame[0], t.frame[1], t.first, t.end);
      if (t.frame && figures.firstFrameAt === null) figures.firstFrameAt = performance.now();
      t.first = Infinity;
      t.end = 0;
      if (done >= 0) {
        line.textContent = `Test run: frame ${done} of ${stop}`;
        line.hidden = false;
        nextTask(slice);
      } else {
        testing = null;
        line.hidden = true;
        if (done === -1) { figures.testDone = true; figures.testFrame = pendingTestFrame; }
      }
    };
    slice();
  }
  let testing = null;
  let pendingTestFrame = 0;
  // The next task, without the clamp that nested timeouts get.
  const tasks = new MessageChannel();
  let queued = null;
  tasks.port1.onmessage = () => { const f = queued; queued = null; f(); };
  function nextTask(f) { queued = f; tasks.port2.postMessage(0); }

  const probes = { frame: 0, gameState: 1, ballX: 2, score: 3, highScore: 4, running: 5, paused: 6,
                   frames: 10, workMs: 11, maxWorkMs: 12, framesOver1Ms: 13, presentMs: 14, ticks: 15, watching: 20,
                   ghostScore: 21, ghostX: 22, ghostY: 23, ghostFrames: 24, dailySeed: 25 };
  window.pellimunch = {
    figures,
    probe(name) { return Module._pm_probe(probes[name]); },
    get audioState() { return audio ? audio.state : "none"; },
    get muted() { return muted; },
    get touchShown() { return touch.shown; },
    // The picture on the canvas as RGB bytes, base64 (for the tests).
    pixels() {
      const rgb = screen.rgb();
      let text = "";
      for (let i = 0; i < rgb.length; i += 0x8000) text += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
      return btoa(text);
    },
    // The session so far, in the replay format.
    replay() { return Module.UTF8ToString(Module._pm_replay()); },
    watch,
    daily,
  };

  // ---- The page's controls.
  $("play").addEventListener("click", play);
  $("again").addEventListener("click", play);
  // A click anywhere on the pause overlay goes on, as it says.
  const pauseKey = () => { if (running) tapKey("KeyP"); };
  $("pause").addEventListener("click", () => { if (Module._pm_resume) Module._pm_resume(); else pauseKey(); });
  $("pause-button").addEventListener("click", pauseKey);
  $("mute-button").addEventListener("click", () => { if (running) tapKey("KeyM"); else setMuted(!muted); });
  $("fullscreen").addEventListener("click", toggleFullScreen);
  wireTouchTools();
  for (const b of document.querySelectorAll("#bar button")) {
    // The tool bar's buttons keep no focus: Space must reach the game, not press them again.
    b.addEventListener("mousedown", (e) => e.preventDefault());
  }
  document.addEventListener("keydown", (e) => {
    if (e.altKey && (e.code === "Enter" || e.code === "NumpadEnter")) {
      e.preventDefault();
      toggleFullScreen();
    }
  });
  // Mended: any button's press on the picture ended the game, and the right
  // one opened the browser's menu too. Only the main button's press is the
  // game's mouse press now; the others reach nothing, and no menu opens.
  window.addEventListener("mousedown", (e) => { if (e.target === canvas && e.button !== 0) e.stopPropagation(); }, true);
  canvas.addEventListener("contextmenu", (e) => e.preventDefault());
  window.addEventListener("pagehide", () => { if (ready && Module._pm_page_closing) Module._pm_page_closing(); });

  // ---- The touch tools: give up (Delete) and end the session (Escape,
  // after a question; the game holds while it is asked).
  function wireTouchTools() {
    $("give-up").addEventListener("click", () => { if (running) tapKey("Delete"); });
    let pausedToAsk = false;
    $("end-session").addEventListener("click", () => {
      if (!running) return;
      pausedToAsk = !paused();
      if (pausedToAsk) tapKey("KeyP");
      show("confirm-end", true);
      $("confirm-no").focus();
    });
    $("confirm-yes").addEventListener("click", () => {
      show("confirm-end", false);
      if (running) tapKey("Escape");
    });
    $("confirm-no").addEventListener("click", () => {
      show("confirm-end", false);
      if (running && pausedToAsk) Module._pm_resume();
    });
  }

  // Once a display refresh: a gamepad in use hides the on-screen keys (the
  // program reads the pads), and a touch player sees the short hint while
  // the game's title shows.
  let refreshes = 0;
  function watchPads() {
    if (touch.shown && navigator.getGamepads) {
      for (const pad of navigator.getGamepads()) {
        if (pad && pad.buttons.some((b) => b.pressed)) { touch.hide(); break; }
      }
    }
    if (++refreshes % 10 === 0) {
      const title = ready && running && touch.shown && Module._pm_probe(probes.gameState) === 0;
      if ($("touch-hint").hidden === title) show("touch-hint", title);
    }
    window.requestAnimationFrame(watchPads);
  }
  window.requestAnimationFrame(watchPads);

  // ---- The offline copy: the service worker keeps the whole site. A new
  // build waits until no session runs, then takes over with a reload.
  let waitingWorker = null;
  function updateWhenIdle() {
    if (!waitingWorker || running || testMode) return;
    navigator.serviceWorker.addEventListener("controllerchange", () => window.location.reload(), { once: true });
    waitingWorker.postMessage("take-over");
    waitingWorker = null;
  }
  const offline = "serviceWorker" in navigator && window.isSecureContext && !params.has("no-offline");
  // The first visit's downloads go into the build's cache as they came (the
  // responses' twins, which the browser fills beside the page's own reading),
  // so that the worker need not fetch them again; then the worker installs.
  async function keepOffline(build, files) {
    if (!offline) return;
    if (build && !navigator.serviceWorker.controller) {
      try {
        const cache = await caches.open("pellimunch-" + build);
        await Promise.all(files.map(([name, response]) => cache.put(new URL(name, window.location.href), response)));
      } catch (e) {
        console.warn("pellimunch: the downloads are not kept (" + e + "); the offline copy fetches them");
      }
    }
    registerWorker();
  }
  function registerWorker() {
    navigator.serviceWorker.register("sw.js").then((registration) => {
      const watch = (worker) => worker.addEventListener("statechange", () => {
        if (worker.state === "installed" && navigator.serviceWorker.controller) {
          waitingWorker = worker;
          if (!ready || !$("start").hidden || !$("over").hidden) updateWhenIdle();
        }
      });
      if (registration.waiting && navigator.serviceWorker.controller) {
        waitingWorker = registration.waiting;
      }
      registration.addEventListener("updatefound", () => watch(registration.installing));
      figures.serviceWorker = "registered";
    }, (e) => console.warn("pellimunch: no offline copy (" + e + ")"));
  }
  // Without a download (it failed) the worker still installs.
  function keepNothing() { if (offline) registerWorker(); }

  // ---- Loading: the program, its code and its data, with the progress shown.
  // Mended: a missing or broken file left "Loading…" for ever (or showed the
  // toolchain's raw text); every failed download is named on the page now.
  function progress() {
    const part = figures.total > 0 ? Math.min(1, figures.loaded / figures.total) : 0;
    $("progress").value = part;
    $("play").textContent = "Loading… " + Math.round(100 * part) + " %";
  }

  // A twin of each download for the offline cache, on the first visit only.
  const twins = {};
  async function download(name, sizes) {
    let response;
    try {
      response = await fetch(name);
    } catch (e) {
      throw new Error(`the download of ${name} failed (${e.message}); check the connection and reload the page`);
    }
    if (!response.ok) throw new Error(`the download of ${name} failed (${response.status} ${response.statusText})`);
    if (offline && !navigator.serviceWorker.controller) twins[name] = response.clone();
    if (!response.body) {
      const whole = await response.arrayBuffer();
      figures.loaded += whole.byteLength;
      progress();
      return whole;
    }
    // The bytes as they come, for the progress bar; the total comes from the
    // build's list (a compressed transfer's length is not the file's).
    const reader = response.body.getReader();
    const size = sizes[name] || Number(response.headers.get("Content-Length")) || 0;
    const parts = [];
    let got = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      got += value.length;
      figures.loaded += value.length;
      progress();
    }
    if (size && got !== size) throw new Error(`the download of ${name} was cut short (${got} of ${size} bytes); reload the page`);
    const whole = new Uint8Array(got);
    let at = 0;
    for (const p of parts) { whole.set(p, at); at += p.length; }
    return whole.buffer;
  }

  async function load() {
    let sizes = {}, build = null;
    try {
      const list = await fetch("build.json", { cache: "no-cache" });
      if (list.ok) ({ files: sizes = {}, build = null } = await list.json());
    } catch (e) { /* no list: progress without a total */ }
    const names = ["pellimunch.js", "pellimunch.wasm", "pellimunch.data"];
    figures.total = names.reduce((sum, n) => sum + (sizes[n] || 0), 0);
    progress();
    const [code, wasm, data] = await Promise.all(names.map((n) => download(n, sizes)));
    // Checked whole: their twins go to the offline cache.
    keepOffline(build, names.filter((n) => twins[n]).map((n) => [n, twins[n]]));
    window.Module = {
      canvas,
      pmPage: page,
      wasmBinary: wasm,
      getPreloadedPackage: () => data,
      print: (text) => console.log(text),
      printErr: (text) => console.error(text),
      onAbort: (what) => failed(ready ? "Pellimunch cannot go on: " + what
                                      : "Pellimunch could not start: " + what + ". Reload the page to try again."),
    };
    const script = document.createElement("script");
    script.src = URL.createObjectURL(new Blob([code], { type: "text/javascript" }));
    script.onerror = () => failed("Pellimunch could not start: its program would not run in this browser.");
    document.body.appendChild(script);
  }
  // After the page's first paint, so that the page shows at once and the
  // downloads take nothing from it.
  window.requestAnimationFrame(() => setTimeout(() =>
    load().catch((e) => { failed("Pellimunch could not load: " + e.message); keepNothing(); }), 0));
  // An error before the program started is the page's failure, not a silent one.
  window.addEventListener("error", (e) => { if (!ready && !figures.failed) failed("Pellimunch could not start: " + e.message); });
})();
