// The portfolio page: the project list with its filters and bars, the Gantt chart of a
// period, one project's page with its edit form, and the reports.
"use strict";

(() => {
  const K = KsMain;
  const db = () => K.settings.portfolio;
  // Bar colours as the list asks the library to write them into the bar cells.
  const ACTUAL = "#2e7d32";
  const TARGET = "#f9a825";

  async function lookups() {
    const lists = [["Get_StatusAll", "status"], ["Get_DepartmentAll", "department"],
                   ["Get_PriorityAll", "priority"], ["Get_TypeAll", "type"]];
    const calls = lists.map(([member]) => ({ member, args: [null, db(), null, ""] }));
    calls.push({ member: "Get_ResourceAll", args: [null, db(), null, "lastname"] });
    const results = await K.call("KsMain.Kestrel", calls);
    const form = document.getElementById("filters");
    lists.forEach(([, name], i) => {
      const grid = results[i].args[0];
      const pairs = [];
      for (let r = 1; r <= (K.count(grid) || 0); r++) pairs.push([K.text(K.cell(grid, r, 0)), K.text(K.cell(grid, r, 2))]);
      K.options(form.elements[name], pairs);
    });
    const people = results[lists.length].args[0];
    const owners = [];
    for (let r = 1; r <= (K.count(people) || 0); r++) {
      owners.push([K.text(K.cell(people, r, 0)), `${K.text(K.cell(people, r, 4))}, ${K.text(K.cell(people, r, 3))}`]);
    }
    K.options(form.elements.owner, owners);
  }

  function filterArgs(form) {
    const f = form.elements;
    return [f.status.value, f.department.value, f.owner.value, f.priority.value, f.type.value];
  }

  // Column 12: the eleven bar cells joined with ",", cell 0 unused; each cell holds the
  // colour the library was given, or nothing.
  function bar(joined) {
    const cells = K.text(joined).split(",").slice(1, 11);
    const b = K.element("span", null, { class: "bar" });
    for (let k = 0; k < 10; k++) {
      const c = K.element("span");
      if (cells[k]) c.style.background = cells[k];
      b.append(c);
    }
    return b;
  }

  async function showList(event) {
    if (event) event.preventDefault();
    K.clearError();
    const form = document.getElementById("filters");
    const results = await K.call("KsMain.Kestrel", [
      { member: "setProgressBarActual", args: [ACTUAL] },
      { member: "setProgressBarTarget", args: [TARGET] },
      { member: "Get_ProjectListAll", args: [null, db(), null, form.elements.sort.value, ...filterArgs(form)] },
    ]);
    const grid = results[2].args[0];
    const n = K.count(grid);
    if (n === null) return K.showError("The project list did not finish.");
    const rows = [];
    for (let r = 1; r <= n; r++) {
      const at = (c) => K.cell(grid, r, c);
      const open = K.element("a", K.text(at(1)), { href: "#project-section", "data-id": K.text(at(15)) });
      open.addEventListener("click", () => showProject(K.text(at(15))));
      rows.push([K.text(at(0)), open, K.text(at(2)), K.text(at(6)), K.text(at(8)), K.text(at(7)),
                 bar(at(12)), K.text(at(5)) + "%", K.text(at(13)), K.text(at(14))]);
    }
    const t = K.table(["No.", "Project", "Owner", "Status", "Start", "Planned end", "Progress", "Done",
                       "Target %", "Rank"], rows);
    t.id = "project-table";
    K.fill("projects", K.element("p", `${n} project(s)`), t);
  }

  // One bar per project over the period, drawn from the chart cells (column-first grid:
  // 0 name, 1 planned start, 2 planned end, 4 ID, 10 status).
  function ganttSvg(items, from, to, label) {
    const NS = "http://www.w3.org/2000/svg";
    const rowH = 22, labelW = 200, width = 760;
    const span = Math.max(1, to - from);
    const svg = document.createElementNS(NS, "svg");
    svg.setAttribute("viewBox", `0 0 ${width} ${(items.length + 1) * rowH}`);
    svg.setAttribute("class", "gantt");
    svg.setAttribute("role", "img");
    svg.setAttribute("aria-label", label);
    const x = (d) => labelW + Math.min(1, Math.max(0, (d - from) / span)) * (width - labelW - 4);
    for (let m = new Date(from.getFullYear(), from.getMonth(), 1); m <= to; m.setMonth(m.getMonth() + 1)) {
      if (m < from) continue;
      const t = document.createElementNS(NS, "text");
      t.setAttribute("x", x(m) + 2);
      t.setAttribute("y", 14);
      t.setAttribute("class", "month");
      t.textContent = m.toLocaleString("en-US", { month: "short" });
      svg.append(t);
    }
    items.forEach((it, i) => {
      const y = (i + 1) * rowH;
      const name = document.createElementNS(NS, "text");
      name.setAttribute("x", 2);
      name.setAttribute("y", y + 15);
      name.textContent = it.name.length > 28 ? it.name.slice(0, 27) + "…" : it.name;
      svg.append(name);
      if (!it.start || !it.end) return;
      const rect = document.createElementNS(NS, "rect");
      rect.setAttribute("x", x(it.start));
      rect.setAttribute("y", y + 4);
      rect.setAttribute("width", Math.max(2, x(it.end) - x(it.start)));
      rect.setAttribute("height", rowH - 8);
      rect.setAttribute("class", "gantt-bar");
      if (it.id) rect.dataset.id = it.id;
      const title = document.createElementNS(NS, "title");
      title.textContent = `${it.name}: ${K.dateText(it.start.toISOString())} – ${K.dateText(it.end.toISOString())}`;
      rect.append(title);
      if (it.onclick) rect.addEventListener("click", it.onclick);
      svg.append(rect);
    });
    return svg;
  }

  async function showGantt(event) {
    if (event) event.preventDefault();
    K.clearError();
    const g = document.getElementById("gantt-form").elements;
    const from = K.dateOf(g.from.value), to = K.dateOf(g.to.value);
    if (!from || !to) return K.showError("Give the period as m/d/yyyy.");
    // This view takes "Z", not the empty text, for any status.
    const f = filterArgs(document.getElementById("filters"));
    if (f[0] === "") f[0] = "Z";
    const [result] = await K.call("KsMain.Kestrel", [
      { member: "Get_ProjectListAllGanttChartView", args: [null, db(), null, "", ...f, g.from.value, g.to.value] }]);
    const grid = result.args[0];
    const n = K.count(grid, true);
    if (n === null) return K.showError("The Gantt chart did not finish.");
    const items = [];
    for (let r = 1; r <= n; r++) {
      const at = (c) => K.cell(grid, r, c, true);
      const id = K.text(at(4));
      items.push({ name: K.text(at(0)), start: K.dateOf(at(1)), end: K.dateOf(at(2)), id,
                   onclick: () => showSteps(id, K.text(at(0)), g.from.value, g.to.value, from, to) });
    }
    K.fill("gantt", K.element("p", `${n} project(s) in the period; pick a bar for its steps.`),
           ganttSvg(items, from, to, "Projects in the period"));
    K.fill("gantt-steps");
  }

  async function showSteps(id, name, fromText, toText, from, to) {
    const [result] = await K.call("KsMain.Kestrel", [
      { member: "Get_StepsListAllGanttChartView", args: [null, db(), id, fromText, toText] }]);
    const grid = result.args[0];
    const n = K.count(grid, true) || 0;
    const items = [];
    for (let r = 1; r <= n; r++) {
      const at = (c) => K.cell(grid, r, c, true);
      items.push({ name: K.text(at(0)), start: K.dateOf(at(1)), end: K.dateOf(at(2)) });
    }
    K.fill("gantt-steps", K.element("h3", `Steps of ${name}`), ganttSvg(items, from, to, `Steps of ${name}`));
  }

  function gridRows(grid, columns, columnFirst = false) {
    const rows = [];
    for (let r = 1; r <= (K.count(grid, columnFirst) || 0); r++) {
      rows.push(columns.map((c) => K.text(K.cell(grid, r, c, columnFirst))));
    }
    return rows;
  }

  let current = null;  // the project shown: its detail grid and the resource list

  async function showProject(id) {
    K.clearError();
    const results = await K.call("KsMain.Kestrel", [
      { member: "Get_ProjectSpecific", args: [null, db(), id] },
      { member: "Get_ProjectSteps", args: [null, id, "", db(), ""] },
      { member: "Get_ProjectRevisedCompDates", args: [null, db(), null, id] },
      { member: "GetKaizenResults", args: [null, id, db()] },
      { member: "Get_ReviewDates", args: [null, db(), null] },
      { member: "Get_ResourceAll", args: [null, db(), null, "lastname"] },
    ]);
    const detail = results[0].args[0];
    if (K.count(detail) === null) return K.showError("The project did not load.");
    const at = (c) => K.text(K.cell(detail, 1, c));
    current = { id, detail, people: results[5].args[0] };
    document.getElementById("project-section").hidden = false;
    document.getElementById("project-title").textContent = `${at(3)} ${at(1)}`;
    K.fill("project-detail", K.table(["Field", "Value"], [
      ["Planned", `${at(6)} – ${at(5)}`], ["Actual", `${at(7) || "(open)"} – ${at(8) || "(open)"}`],
      ["Owner", at(9)], ["Submitted by", at(10)], ["Status", at(11)], ["Complete", at(12) + "%"],
      ["Type", at(13)], ["Rank", at(14)], ["Comments", at(28)]]));
    const f = document.getElementById("project-form").elements;
    f.name.value = at(1);
    f.end.value = at(5);
    f.percent.value = at(12);
    f.comments.value = at(28);
    document.getElementById("save-rc").textContent = "";
    K.fill("project-steps", K.table(["Step", "Start", "Planned end", "Status", "%"],
                                    gridRows(results[1].args[0], [1, 8, 10, 12, 16])));
    K.fill("project-revised", K.table(["Replaced estimate", "Recorded"], gridRows(results[2].args[0], [1, 2])));
    K.fill("project-kaizen", K.table(["Event", "Units", "Before", "After", "Change"],
                                     gridRows(results[3].args[0], [13, 14, 3, 4, 5])));
    const meetings = results[4].args[0];
    const rows = [];
    for (let r = 1; r <= (K.count(meetings) || 0); r++) {
      const held = K.text(K.cell(meetings, r, 2));
      const who = K.element("button", "Attendees", { type: "button" });
      who.disabled = !held;
      who.addEventListener("click", () => showAttendees(held));
      rows.push([K.text(K.cell(meetings, r, 1)), held, who]);
    }
    K.fill("project-meetings", K.table(["Planned", "Held", ""], rows));
    K.fill("meeting-attendees");
  }

  async function showAttendees(held) {
    const [result] = await K.call("KsMain.Kestrel", [{ member: "Get_Attendees", args: [null, db(), null, held] }]);
    K.fill("meeting-attendees", K.element("h4", `Attended the meeting held ${held}`),
           K.table(["First name", "Last name", "Resource"], gridRows(result.args[0], [4, 5, 6])));
  }

  // The form array of the save: index -> column of the detail grid (index 9, the
  // submitter's key, comes from the resource list by last name; 30 is the project's ID).
  const FROM_DETAIL = [1, 2, 3, 4, 6, 7, 5, 8, 9, -1, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                       26, 27, 28, 29, 30, 0];

  async function saveProject(event) {
    event.preventDefault();
    K.clearError();
    if (!current) return;
    const f = event.target.elements;
    const form = FROM_DETAIL.map((c) => (c < 0 ? "" : K.text(K.cell(current.detail, 1, c))));
    const submitter = K.text(K.cell(current.detail, 1, 10));
    for (let r = 1; r <= (K.count(current.people) || 0); r++) {
      if (K.text(K.cell(current.people, r, 4)) === submitter) form[9] = K.text(K.cell(current.people, r, 0));
    }
    form[0] = f.name.value;
    form[6] = f.end.value;
    form[11] = f.percent.value;
    form[27] = f.comments.value;
    const [result] = await K.call("KsMain.KsMaint", [{ member: "UPD_ProjectMasterALL", args: [form, db(), ""] }]);
    const rc = K.text(result.args[2]);
    await showProject(current.id);
    document.getElementById("save-rc").textContent = rc === "OK" ? "Saved (RC OK)" : `Not saved (RC "${rc}")`;
    showList();
  }

  async function showReports(event) {
    if (event) event.preventDefault();
    K.clearError();
    const r = document.getElementById("report-form").elements;
    const results = await K.call("KsMain.Kestrel", [
      { member: "Get_rptProjectsByTimePeriod", args: [null, db(), "", r.from.value, r.to.value] },
      { member: "Get_rptKaizenEvents", args: [null, db(), "", r.from.value, r.to.value] },
    ]);
    K.fill("report-period", K.table(["Type", "Status", "Project", "Owner", "%"],
                                    gridRows(results[0].args[0], [8, 6, 0, 4, 7])));
    K.fill("report-kaizen", K.table(["Kind", "Project", "Before", "After", "Change", "Verified"],
                                    gridRows(results[1].args[0], [0, 2, 5, 6, 13, 14])));
  }

  document.getElementById("filters").addEventListener("submit", showList);
  document.getElementById("gantt-form").addEventListener("submit", showGantt);
  document.getElementById("project-form").addEventListener("submit", saveProject);
  document.getElementById("report-form").addEventListener("submit", showReports);
  (async () => {
    await lookups();
    await showList();
    await showGantt();
    await showReports();
  })().catch(() => {});
})();
