// The world table, where a board server (pellimunch-board) serves this page:
// at a game over that sets the player's best, an offer to put the run on the
// table (a name, remembered, and one button); and ?watch=ID plays a run from
// the table. On any other host nothing of this shows.
// page.js calls ready() and newBest(); the game's side exports
// pm_best_replay, and page.js's watch() plays a run from the table.
"use strict";
(function () {
  const params = new URLSearchParams(window.location.search);
  // The board serving this page puts that line in front of this file.
  const board = window.pmBoardServer === true;
  let panel = null;

  // Keys typed into the offer are the player's, not the game's: stopped
  // here, before the game's own listeners on the window hear them.
  for (const type of ["keydown", "keyup", "keypress"]) {
    window.addEventListener(type, (e) => {
      if (panel && e.target instanceof Node && panel.contains(e.target)) e.stopImmediatePropagation();
    }, true);
  }

  function element(tag, props, style) {
    const el = Object.assign(document.createElement(tag), props || {});
    Object.assign(el.style, style || {});
    return el;
  }

  function offer(highScore) {
    if (!panel) {
      panel = element("form", { id: "board-offer" }, {
        position: "absolute", left: "50%", bottom: "1rem", transform: "translateX(-50%)", zIndex: 5,
        background: "rgba(16,16,24,0.92)", color: "#eee", padding: "0.6rem 0.8rem", borderRadius: "0.5rem",
        font: "15px system-ui, sans-serif", display: "flex", flexWrap: "wrap", gap: "0.5rem", alignItems: "center",
        maxWidth: "95%",
      });
      panel.append(element("span", { id: "board-text" }),
                   element("input", { id: "board-name", maxLength: 16, placeholder: "Your name", required: true,
                                      autocomplete: "nickname" }),
                   element("button", { id: "board-send", type: "submit", textContent: "Put it on the world table" }),
                   element("a", { href: "./", target: "_blank", textContent: "Table" }, { color: "#8cf" }),
                   element("span", { id: "board-result", role: "status" }));
      try { panel.querySelector("#board-name").value = window.localStorage.getItem("pellimunch/board-name") || ""; } catch (e) {}
      panel.addEventListener("submit", (e) => { e.preventDefault(); send(); });
      (document.getElementById("stage") || document.body).append(panel);
    }
    panel.querySelector("#board-text").textContent = "New best: " + highScore + "!";
    panel.querySelector("#board-result").textContent = "";
    panel.querySelector("#board-send").disabled = false;
    panel.hidden = false;
  }

  async function send() {
    const name = panel.querySelector("#board-name").value.trim();
    const result = panel.querySelector("#board-result");
    const button = panel.querySelector("#board-send");
    if (!name) return;
    try { window.localStorage.setItem("pellimunch/board-name", name); } catch (e) {}
    post(name, Module.ccall("pm_best_replay", "string", [], []), result, button);
  }

  // Sends a run (a replay's text) under `name`, saying on `result` how it
  // went; `button` is given back when it may be tried again.
  async function post(name, replay, result, button) {
    button.disabled = true;
    result.textContent = "Checking the run…";
    try {
      const answer = await fetch("api/runs", { method: "POST", headers: { "Content-Type": "application/json" },
                                               body: JSON.stringify({ name, replay }) });
      const body = await answer.json().catch(() => ({}));
      result.textContent = answer.status === 201 ? "On the table at rank " + body.rank + "."
                                                 : "Refused: " + (body.error || "HTTP " + answer.status);
      if (answer.status !== 201 && answer.status !== 409) button.disabled = false;
    } catch (e) {
      result.textContent = "Not sent: " + e.message;
      button.disabled = false;
    }
  }

  // ?watch=ID: the play button watches that run instead.
  function ready() {
    const id = params.get("watch");
    if (!board || !id || !/^\d{1,15}$/.test(id)) return;
    const play = document.getElementById("play");
    play.textContent = "Watch run " + id;
    document.addEventListener("click", async (e) => {
      if (e.target !== play || !params.has("watch")) return;
      e.stopImmediatePropagation();
      e.preventDefault();
      params.delete("watch");   // afterwards the button plays as usual
      const answer = await fetch("api/runs/" + id + "/replay", { cache: "no-store" });
      if (!answer.ok) { Module.pmPage.failed("run " + id + " is not on the table"); return; }
      window.pellimunch.watch(await answer.text());
    }, true);
  }

  window.pmBoard = {
    ready,
    newBest(highScore) { if (board) offer(highScore); },
    post,
    get present() { return board; },
  };
})();
