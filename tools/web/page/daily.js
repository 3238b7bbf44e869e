// The daily run on the page: a "Daily run" button beside Play with the UTC
// day and the time left until the next one; "Race my best" (the page's own
// best attempt of the day, kept in the browser's storage) and, where a board
// serves the page, "Race the leader" (the day's first run on the table). At
// the end of a daily run: the line to share, with a copy button and the
// system's share sheet where the browser has one, and, for a new best of the
// day on a board, the offer to put it on the day's table.
// page.js calls ready() and ended(); window.pellimunch.daily(day, ghost)
// starts a daily session. ?day=YYYY-MM-DD plays another day (for the tests);
// ?race=ID (a row of the table's "Race") races that run of the board.
"use strict";
(function () {
  const params = new URLSearchParams(window.location.search);
  const pad = (n, w) => String(n).padStart(w, "0");
  let panel = null, endPanel = null, timer = 0;

  // The day played: the clock's UTC day, or the one asked for.
  function day() {
    const asked = /^(\d{4})-(\d{2})-(\d{2})$/.exec(params.get("day") || "");
    const now = new Date();
    const [y, m, d] = asked ? [Number(asked[1]), Number(asked[2]), Number(asked[3])]
                            : [now.getUTCFullYear(), now.getUTCMonth() + 1, now.getUTCDate()];
    return { text: `${pad(y, 4)}-${pad(m, 2)}-${pad(d, 2)}`, number: y * 10000 + m * 100 + d };
  }
  function untilNext() {
    const now = Date.now();
    const left = Math.max(0, Math.ceil((86400000 - (now % 86400000)) / 1000));
    return `${Math.floor(left / 3600)}:${pad(Math.floor(left / 60) % 60, 2)}:${pad(left % 60, 2)}`;
  }

  const storeKey = (text) => "pellimunch/daily/" + text;
  function myBest(text) {
    try { return JSON.parse(window.localStorage.getItem(storeKey(text)) || "null"); } catch (e) { return null; }
  }

  function element(tag, props, style) {
    const el = Object.assign(document.createElement(tag), props || {});
    Object.assign(el.style, style || {});
    return el;
  }

  function start(ghost) {
    if (endPanel) endPanel.hidden = true;
    window.pellimunch.daily(day().number, ghost || "");
  }

  // Races run `id` of the board, or the day's leader.
  async function race(id) {
    const status = panel.querySelector("#daily-status");
    status.textContent = "Fetching the run…";
    try {
      if (!id) {
        const top = await fetch("api/top?day=" + day().text + "&limit=1", { cache: "no-store" });
        const rows = top.ok ? ((await top.json()).runs || []) : [];
        if (!rows.length) { status.textContent = "No run on today's table yet."; return; }
        id = rows[0].id;
      }
      const replay = await fetch("api/runs/" + encodeURIComponent(id) + "/replay", { cache: "no-store" });
      if (!replay.ok) throw new Error("HTTP " + replay.status);
      status.textContent = "";
      start(await replay.text());
    } catch (e) {
      status.textContent = "The run could not be fetched: " + e.message;
    }
  }

  function refresh() {
    if (!panel) return;
    const today = day();
    panel.querySelector("#daily-run").textContent = "Daily run " + today.text;
    panel.querySelector("#daily-next").textContent = "next in " + untilNext();
    const best = myBest(today.text);
    panel.querySelector("#daily-mine").hidden = !best;
    if (best) panel.querySelector("#daily-mine").textContent = "Race my best (" + best.score + ")";
    panel.querySelector("#daily-leader").hidden = !(window.pmBoard && window.pmBoard.present);
  }

  // Beside the Play button, in the start overlay; moved along to the
  // game-over overlay when that shows.
  function ready() {
    panel = element("div", { id: "daily" }, { display: "flex", flexWrap: "wrap", gap: "0.5rem",
                                               alignItems: "center", justifyContent: "center", margin: "0.5rem" });
    panel.append(element("button", { id: "daily-run", type: "button" }),
                 element("span", { id: "daily-next" }, { font: "14px system-ui, sans-serif", color: "#ccc" }),
                 element("button", { id: "daily-mine", type: "button", hidden: true }),
                 element("button", { id: "daily-leader", type: "button", textContent: "Race the leader", hidden: true }),
                 element("span", { id: "daily-status", role: "status" }, { color: "#ccc" }));
    panel.querySelector("#daily-run").addEventListener("click", () => start(""));
    panel.querySelector("#daily-mine").addEventListener("click", () => {
      const best = myBest(day().text);
      if (best) start(best.replay);
    });
    // From the table's "Race": that run instead of the leader.
    const raced = /^\d{1,15}$/.test(params.get("race") || "") ? params.get("race") : null;
    const leader = panel.querySelector("#daily-leader");
    if (raced) leader.textContent = "Race run " + raced;
    leader.addEventListener("click", () => race(raced));
    const play = document.getElementById("play");
    play.insertAdjacentElement("afterend", panel);
    refresh();
    clearInterval(timer);
    timer = setInterval(refresh, 1000);
    const again = document.getElementById("again");
    new MutationObserver(() => {
      const over = document.getElementById("over");
      if (!over.hidden) again.insertAdjacentElement("afterend", panel);
      refresh();
    }).observe(document.getElementById("over"), { attributes: true, attributeFilter: ["hidden"] });
  }

  function send(replay, result, button) {
    let name = "";
    try { name = window.localStorage.getItem("pellimunch/board-name") || ""; } catch (e) {}
    name = (window.prompt("Your name on the table", name) || "").trim();
    if (!name) return;
    try { window.localStorage.setItem("pellimunch/board-name", name); } catch (e) {}
    window.pmBoard.post(name, replay, result, button);
  }

  // The daily run's one game is over: keep a new best of the day, show the
  // line to share, offer a new best to the table.
  function ended(score, level, share) {
    const today = day().text;
    const replay = Module.ccall("pm_daily_replay", "string", [], []);
    const best = myBest(today);
    const newBest = !best || score > best.score;
    if (newBest) {
      try { window.localStorage.setItem(storeKey(today), JSON.stringify({ score, level, replay })); } catch (e) {}
    }
    if (!endPanel) {
      endPanel = element("div", { id: "daily-end" }, {
        position: "absolute", left: "50%", top: "1rem", transform: "translateX(-50%)", zIndex: 5,
        background: "rgba(16,16,24,0.92)", color: "#eee", padding: "0.6rem 0.8rem", borderRadius: "0.5rem",
        font: "15px system-ui, sans-serif", display: "flex", flexWrap: "wrap", gap: "0.5rem", alignItems: "center",
        maxWidth: "95%",
      });
      endPanel.append(element("span", { id: "daily-share" }),
                      element("button", { id: "daily-copy", type: "button", textContent: "Copy" }),
                      element("button", { id: "daily-send", type: "button", textContent: "Put it on today's table",
                                          hidden: true }),
                      element("button", { id: "daily-close", type: "button", textContent: "×" }),
                      element("span", { id: "daily-result", role: "status" }));
      endPanel.querySelector("#daily-close").addEventListener("click", () => { endPanel.hidden = true; });
      (document.getElementById("stage") || document.body).append(endPanel);
    }
    endPanel.querySelector("#daily-share").textContent = share;
    const copy = endPanel.querySelector("#daily-copy");
    copy.onclick = async () => {
      if (navigator.share) {
        try { await navigator.share({ text: share }); return; } catch (e) { /* dismissed: copy instead */ }
      }
      try {
        await navigator.clipboard.writeText(share);
        copy.textContent = "Copied";
      } catch (e) {
        copy.textContent = "Select and copy";
      }
    };
    copy.textContent = navigator.share ? "Share" : "Copy";
    const sendButton = endPanel.querySelector("#daily-send");
    const result = endPanel.querySelector("#daily-result");
    result.textContent = newBest ? "Your best of the day!" : "";
    sendButton.hidden = !(newBest && window.pmBoard && window.pmBoard.present);
    sendButton.disabled = false;
    sendButton.onclick = () => send(replay, result, sendButton);
    endPanel.hidden = false;
    window.pmDailyFigures = { score, level, share, newBest };
    refresh();
  }

  window.pmDaily = { ready, ended, day };
})();
