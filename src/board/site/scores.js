// The world table: the top 100, read again every few seconds; a row opens
// the run in the browser game (when this server carries it) or as text.
// Tabs show today's and yesterday's daily tables (UTC days) beside the
// all-time one, with the time until the next day; a row of today's table
// offers to race that run in the game.
// Names come from players: they are only ever set as text.
"use strict";
(function () {
  const $ = (id) => document.getElementById(id);
  const RefreshMs = 5000;
  let haveGame = false;
  let mine = null;
  let tab = "";   // "", "today" or "yesterday"

  const pad = (n) => String(n).padStart(2, "0");
  function utcDay(daysAgo) {
    const d = new Date(Date.now() - daysAgo * 86400000);
    return `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())}`;
  }
  function countdown() {
    const left = Math.ceil((86400000 - (Date.now() % 86400000)) / 1000);
    $("countdown").textContent = `Next daily in ${Math.floor(left / 3600)}:${pad(Math.floor(left / 60) % 60)}:${pad(left % 60)}`;
  }

  function frames(n) {
    const s = Math.floor(n / 60);
    return Math.floor(s / 60) + ":" + String(s % 60).padStart(2, "0");
  }

  function cell(text, className) {
    const td = document.createElement("td");
    td.textContent = String(text);
    if (className) td.className = className;
    return td;
  }

  function open(id) {
    window.location.href = haveGame ? "index.html?watch=" + encodeURIComponent(id)
                                    : "api/runs/" + encodeURIComponent(id) + "/replay";
  }

  function show(runs) {
    const body = $("rows");
    const rows = runs.map((r) => {
      const tr = document.createElement("tr");
      tr.tabIndex = 0;
      tr.dataset.id = r.id;
      if (r.id === mine) tr.className = "mine";
      const name = cell(r.name, "name");
      if (r.flag) {
        // Input that looks machine-made: ranked, marked for an operator.
        const mark = document.createElement("span");
        mark.className = "flag";
        mark.textContent = " ⚑";
        mark.title = "Under review: " + r.flag;
        name.append(mark);
      }
      tr.append(cell(r.rank), name, cell(r.score, "num"), cell(r.level, "num"),
                cell(frames(r.frames), "wide num"), cell(String(r.date).slice(0, 10), "wide"));
      if (tab === "today" && haveGame) {
        const race = document.createElement("a");
        race.href = "index.html?race=" + encodeURIComponent(r.id);
        race.textContent = "Race";
        race.className = "race";
        race.addEventListener("click", (e) => e.stopPropagation());
        const td = cell("");
        td.append(race);
        tr.append(td);
      }
      tr.addEventListener("click", () => open(r.id));
      tr.addEventListener("keydown", (e) => { if (e.key === "Enter") open(r.id); });
      return tr;
    });
    body.replaceChildren(...rows);
    $("status").textContent = runs.length ? "" : "No runs yet: be the first.";
  }

  async function refresh() {
    try {
      const day = tab === "today" ? utcDay(0) : tab === "yesterday" ? utcDay(1) : "";
      const answer = await fetch("api/top?limit=100" + (day ? "&day=" + day : ""), { cache: "no-store" });
      if (!answer.ok) throw new Error("HTTP " + answer.status);
      show((await answer.json()).runs);
    } catch (e) {
      $("status").textContent = "The table cannot be read just now (" + e.message + "); trying again.";
    }
  }

  async function probe() {
    try {
      const answer = await fetch("healthz", { cache: "no-store" });
      haveGame = !!(await answer.json()).game;
    } catch (e) { haveGame = false; }
    $("play-link").hidden = !haveGame;
  }

  // Sending a best.replay from the desktop game.
  try { $("send-name").value = window.localStorage.getItem("pellimunch/board-name") || ""; } catch (e) {}
  async function send(file) {
    const name = $("send-name").value.trim();
    const result = $("send-result");
    if (!name) { result.textContent = "Give a name first."; $("send-name").focus(); return; }
    if (!file) { result.textContent = "Pick a best.replay file."; return; }
    try { window.localStorage.setItem("pellimunch/board-name", name); } catch (e) {}
    result.textContent = "Checking the run…";
    try {
      const answer = await fetch("api/runs", { method: "POST", headers: { "Content-Type": "application/json" },
                                               body: JSON.stringify({ name, replay: await file.text() }) });
      const body = await answer.json().catch(() => ({}));
      if (answer.status === 201) {
        mine = body.id;
        result.textContent = "On the table at rank " + body.rank + " with " + body.score + " points.";
        refresh();
      } else {
        result.textContent = "Refused: " + (body.error || "HTTP " + answer.status);
      }
    } catch (e) {
      result.textContent = "Not sent: " + e.message;
    }
  }
  $("send-form").addEventListener("submit", (e) => { e.preventDefault(); send($("send-file").files[0]); });
  const drop = $("drop");
  drop.addEventListener("dragover", (e) => { e.preventDefault(); drop.classList.add("over"); });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  drop.addEventListener("drop", (e) => {
    e.preventDefault();
    drop.classList.remove("over");
    if (e.dataTransfer.files.length) send(e.dataTransfer.files[0]);
  });

  for (const button of document.querySelectorAll("#tabs button")) {
    button.addEventListener("click", () => {
      tab = button.dataset.tab;
      for (const b of document.querySelectorAll("#tabs button")) b.setAttribute("aria-pressed", String(b === button));
      refresh();
    });
  }
  countdown();
  setInterval(countdown, 1000);

  probe().then(refresh);
  setInterval(() => { if (!document.hidden) refresh(); }, RefreshMs);
  document.addEventListener("visibilitychange", () => { if (!document.hidden) refresh(); });
})();
