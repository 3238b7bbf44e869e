// The on-screen keys of a touch screen. Each one stands for a keyboard key
// (its data-key is the KeyboardEvent.code) and presses and releases that key
// in the game's key table, so touch play is recorded and replayed like any
// other. Several fingers work at once; a finger that slides off a key lets it
// go but stays followed, so that sliding from one key to another (◀ across
// the gap to ▶) presses whichever key it reaches. A touch on the picture is
// Shift, which starts a run from the title.
//
// The keys show on a device with a touch screen (the page's head marks it
// before the first paint, so nothing moves) and hide again when a keyboard
// key or a gamepad is used; the next touch brings them back. A layout change
// (the device turned) under a finger that holds a key lets every key go and
// calls `lost`: the game holds, as when the page loses the keyboard.
"use strict";
window.PellimunchTouch = function (stage, send, lost) {
  const root = document.documentElement;
  const held = new Map();   // touch identifier -> the element it holds, or null between keys
  const count = new Map();  // element -> how many touches hold it

  function show(on) { root.classList.toggle("touch", on); }

  function press(el) {
    const n = count.get(el) || 0;
    count.set(el, n + 1);
    if (n === 0) {
      el.classList.add("down");
      send(el.dataset.key, true);
    }
  }
  function release(el) {
    const n = count.get(el) || 0;
    if (n <= 0) return;
    count.set(el, n - 1);
    if (n === 1) {
      el.classList.remove("down");
      send(el.dataset.key, false);
    }
  }
  // The key under a point; the picture counts only where a touch begins.
  function keyAt(x, y, starting) {
    const el = document.elementFromPoint(x, y);
    if (!el) return null;
    const key = el.closest(".touch-key");
    if (key && stage.contains(key)) return key;
    return starting && el.id === "canvas" ? el : null;
  }

  document.addEventListener("touchstart", (e) => {
    show(true);
    let onKey = false;
    for (const t of e.changedTouches) {
      const el = keyAt(t.clientX, t.clientY, true);
      // A finger put down between two keys is followed too, onto either.
      const between = !el && t.target instanceof Element && t.target.closest(".pad");
      if (!el && !between) continue;
      onKey = true;
      held.set(t.identifier, el);
      if (el) press(el);
    }
    // No mouse press may follow (a click on the picture would end the game),
    // nor a zoom or a scroll. Touches on buttons keep their click.
    if (onKey) e.preventDefault();
  }, { passive: false });

  document.addEventListener("touchmove", (e) => {
    for (const t of e.changedTouches) {
      if (!held.has(t.identifier)) continue;
      const was = held.get(t.identifier);
      // A touch that began on the picture stays the picture's (Shift) until it ends.
      if (was && was.id === "canvas") continue;
      const now = keyAt(t.clientX, t.clientY, false);
      if (now === was) continue;
      if (was) release(was);
      held.set(t.identifier, now);
      if (now) press(now);
    }
    e.preventDefault();
  }, { passive: false });

  function end(e) {
    let onKey = false;
    for (const t of e.changedTouches) {
      if (!held.has(t.identifier)) continue;
      const el = held.get(t.identifier);
      onKey = true;
      held.delete(t.identifier);
      if (el) release(el);
    }
    if (onKey && e.cancelable) e.preventDefault();
  }
  document.addEventListener("touchend", end, { passive: false });
  document.addEventListener("touchcancel", end, { passive: false });

  // A real key hides the on-screen ones.
  document.addEventListener("keydown", (e) => { if (e.isTrusted) show(false); });

  // Forget every held key without telling the game (it forgot them itself:
  // the page lost the focus).
  function forget() {
    held.clear();
    count.clear();
    for (const el of stage.querySelectorAll(".down")) el.classList.remove("down");
  }

  // The device turned: the keys move from under the fingers.
  const upright = window.matchMedia("(orientation: portrait)");
  upright.addEventListener("change", () => {
    const pressed = [...count].filter(([, n]) => n > 0).map(([el]) => el);
    for (const el of pressed) send(el.dataset.key, false);
    forget();
    if (pressed.length) lost();
  });

  return {
    forget,
    hide() { show(false); },
    get shown() { return root.classList.contains("touch"); },
  };
};
