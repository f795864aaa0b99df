// The catalogue page: the category tree with its entry counts, the entries of the place
// reached, the three search modes, an entry's page (which records the view) and the login.
"use strict";

(() => {
  const K = KsMain;
  const db = () => K.settings.catalogue;
  const path = [];  // keys of the place reached: category, then subcategories
  const names = [];

  const placeArgs = (levels) => Array.from({ length: levels }, (_, i) => path[i] || "");

  async function showTree() {
    K.clearError();
    const calls = [{ member: "Get_Categories", args: [null, db(), null, ...placeArgs(7)] }];
    if (path.length >= 1) {
      calls.push({ member: "Get_entriesList", args: [null, db(), null, ...placeArgs(7), "", ""] });
    }
    const results = await K.call("KsMain.InsertTable_summary", calls);
    const grid = results[0].args[0];
    const n = K.count(grid);
    if (n === null) return K.showError("The category tree did not load.");
    const rows = [];
    for (let r = 1; r <= n; r++) {
      const key = K.text(K.cell(grid, r, 0)), name = K.text(K.cell(grid, r, 1));
      const link = K.element("a", name, { href: "#tree-section" });
      link.addEventListener("click", () => {
        path.push(key);
        names.push(name);
        showTree();
      });
      rows.push([link, K.text(K.cell(grid, r, 2))]);
    }
    const crumbs = [K.element("a", "All", { href: "#tree-section" })];
    crumbs[0].addEventListener("click", () => up(0));
    names.forEach((name, i) => {
      const a = K.element("a", name, { href: "#tree-section" });
      a.addEventListener("click", () => up(i + 1));
      crumbs.push(" › ", a);
    });
    K.fill("crumbs", ...crumbs);
    K.fill("tree", n ? K.table(["Category", "Entries"], rows) : K.element("p", "Nothing filed below."));
    if (results[1]) showEntries(results[1].args[0], "listing", true);
    else K.fill("listing", K.element("p", "Pick a category."));
  }

  function up(levels) {
    path.length = levels;
    names.length = levels;
    showTree();
  }

  // Listings keep a counter one past the rows written in (0, 0); search grids the count.
  function showEntries(grid, target, counterPlusOne) {
    const c = K.count(grid);
    if (c === null) return K.fill(target, K.element("p", "The list did not finish."));
    const n = counterPlusOne ? Math.max(0, c - 1) : Math.max(0, c);
    const rows = [];
    for (let r = 1; r <= n; r++) {
      const id = K.text(K.cell(grid, r, 0));
      const open = K.element("a", K.text(K.cell(grid, r, 1)), { href: "#entry-section" });
      open.addEventListener("click", () => showEntry(id));
      rows.push([id, open, K.text(K.cell(grid, r, 20)) === "Y" ? "sponsor" : ""]);
    }
    const t = K.table(["ID", "Title", ""], rows);
    t.className = "entries";
    K.fill(target, K.element("p", `${n} entr${n === 1 ? "y" : "ies"}`), t);
  }

  async function search(event) {
    event.preventDefault();
    K.clearError();
    const f = event.target.elements;
    const [result] = await K.call("KsMain.InsertTable_summary", [
      { member: "Get_SimpleSearch",
        args: [K.emptyGrid(250, 25), db(), null, "", "", "", "", "", "", f.words.value, "", f.mode.value, ""] }]);
    showEntries(result.args[0], "search-results", false);
  }

  async function showEntry(id) {
    K.clearError();
    // The page view is recorded first, as the entry page does when it opens.
    const results = await K.call("KsMain.InsertTable_summary", [
      { member: "InsertNavigation", args: [[location.href, "entry", id], db(), ""] },
      { member: "Get_entriespecific", args: [null, db(), null, id] },
    ]);
    const grid = results[1].args[0];
    if (K.count(grid) === null) return K.showError("The entry did not load.");
    const at = (c) => K.text(K.cell(grid, 1, c));
    document.getElementById("entry-section").hidden = false;
    document.getElementById("entry-title").textContent = at(1) || `Entry ${id}`;
    K.fill("entry", K.table(["Field", "Value"], [
      ["ID", at(0)], ["Title", at(1)], ["Views today", at(13)], ["Views in all", at(14)]]));
  }

  async function login(event) {
    event.preventDefault();
    K.clearError();
    const f = event.target.elements;
    const [result] = await K.call("KsMain.InsertTable_summary", [
      { member: "ValidateClientLogin",
        args: [["", f.user.value, f.password.value, "", f.answer.value, "", ""], db(), ""] }]);
    const rc = K.text(result.args[2]);
    document.getElementById("login-rc").textContent =
      rc === "OK" ? "Logged in." : rc === "PASSWORDANSWEROK" ? "Answer accepted." : rc;
  }

  document.getElementById("search-form").addEventListener("submit", search);
  document.getElementById("login-form").addEventListener("submit", login);
  showTree().catch(() => {});
})();
