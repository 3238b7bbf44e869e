// The on-screen keys of a touch screen. Each one stands for a keyboard key
// (its data-key is the KeyboardEvent.code) and presses and releases that key
// in the game's key table, so touch play is recorded and replayed like any
// other. Several fingers work at once; a finger that slides off a key lets it
// go, and one that slides onto another key presses that one. A touch on the
// picture is Shift, which starts a run from the title.
//
// The keys show on a device with a touch screen and hide again when a
// keyboard key or a gamepad is used; the next touch brings them back.
"use strict";
window.PellimunchTouch = function (stage, send) {
  const canTouch = navigator.maxTouchPoints > 0 || "ontouchstart" in window;
  const held = new Map();   // touch identifier -> the element it holds
  const count = new Map();  // element -> how many touches hold it

  function show(on) { document.body.classList.toggle("touch", on); }
  show(canTouch);

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
      if (!el) continue;
      onKey = true;
      held.set(t.identifier, el);
      press(el);
    }
    // No mouse press may follow (a click on the picture would end the game),
    // nor a zoom or a scroll. Touches on buttons keep their click.
    if (onKey) e.preventDefault();
  }, { passive: false });

  document.addEventListener("touchmove", (e) => {
    for (const t of e.changedTouches) {
      if (!held.has(t.identifier)) continue;
      const was = held.get(t.identifier);
      const now = keyAt(t.clientX, t.clientY, false) || (was.id === "canvas" ? was : null);
      if (now === was) continue;
      release(was);
      if (now) { held.set(t.identifier, now); press(now); } else held.delete(t.identifier);
    }
    e.preventDefault();
  }, { passive: false });

  function end(e) {
    let onKey = false;
    for (const t of e.changedTouches) {
      const el = held.get(t.identifier);
      if (el === undefined) continue;
      onKey = true;
      held.delete(t.identifier);
      release(el);
    }
    if (onKey && e.cancelable) e.preventDefault();
  }
  document.addEventListener("touchend", end, { passive: false });
  document.addEventListener("touchcancel", end, { passive: false });

  // A real key hides the on-screen ones.
  document.addEventListener("keydown", (e) => { if (e.isTrusted) show(false); });

  return {
    // Forget every held key without telling the game (it forgot them itself:
    // the page lost the focus).
    forget() {
      held.clear();
      count.clear();
      for (const el of stage.querySelectorAll(".down")) el.classList.remove("down");
    },
    hide() { show(false); },
    get shown() { return document.body.classList.contains("touch"); },
  };
};
