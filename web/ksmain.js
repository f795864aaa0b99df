// What every page shares: POST /call, reading the grids the members fill, building tables
// without ever treating a value as markup, and showing the service's errors.
"use strict";

const KsMain = (() => {
  const settings = {
    portfolio: localStorage.getItem("ksmain.portfolio") || "server=localhost;Database=portfolio",
    catalogue: localStorage.getItem("ksmain.catalogue") || "server=localhost;Database=veldaSQL",
  };

  function showError(message) {
    const box = document.getElementById("error");
    box.textContent = message;
    box.hidden = false;
  }

  function clearError() {
    document.getElementById("error").hidden = true;
  }

  // One request: an object and its calls, in order. Resolves to the results; rejects (and
  // shows why) on any answer but 200, and on an automation error a call raised.
  async function call(object, calls) {
    const headers = { "Content-Type": "application/json" };
    const token = sessionStorage.getItem("ksmain.token");
    if (token) headers.Authorization = "Bearer " + token;
    let response;
    try {
      response = await fetch("/call", { method: "POST", headers, body: JSON.stringify({ object, calls }) });
    } catch (e) {
      showError("The service cannot be reached: " + e.message);
      throw e;
    }
    const text = await response.text();
    if (response.status === 401) {
      const given = prompt("The service wants its access token:");
      if (given) {
        sessionStorage.setItem("ksmain.token", given);
        return call(object, calls);
      }
    }
    let body;
    try {
      body = JSON.parse(text);
    } catch (e) {
      showError(`The service answered ${response.status} with something that is not JSON.`);
      throw e;
    }
    if (response.status !== 200) {
      showError(`The service refused the request (${response.status}): ${body.error}`);
      throw new Error(body.error);
    }
    for (let i = 0; i < body.results.length; i++) {
      const e = body.results[i].error;
      if (e) {
        showError(`${calls[i].member} failed: error ${e.number}, ${e.description}`);
        throw new Error(e.description);
      }
    }
    return body.results;
  }

  // A value in the bridge encoding as a page shows it.
  function text(v) {
    if (v === null || v === undefined) return "";
    if (typeof v === "object" && !Array.isArray(v)) {
      if (v.$ === "null") return "";
      if (v.$ === "date") return dateText(v.v);
      return String(v.v);
    }
    if (typeof v === "string" && /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$/.test(v)) return dateText(v);
    return String(v);
  }

  // "2026-03-01T00:00:00" -> "3/1/2026", as the runtime writes a date without its time.
  function dateText(iso) {
    const [y, m, d] = iso.slice(0, 10).split("-").map(Number);
    return `${m}/${d}/${y}`;
  }

  function dateOf(v) {
    const t = text(v);
    const m = /^(\d+)\/(\d+)\/(\d+)$/.exec(t);
    return m ? new Date(+m[3], +m[1] - 1, +m[2]) : null;
  }

  // Cell of a grid in either layout; null outside it.
  function cell(grid, row, column, columnFirst = false) {
    if (!grid || !grid.v) return null;
    const [a, b] = columnFirst ? [column, row] : [row, column];
    return grid.v[a] === undefined ? null : grid.v[a][b] === undefined ? null : grid.v[a][b];
  }

  // The row count in cell (0, 0); null when the member did not finish.
  function count(grid, columnFirst = false) {
    const c = cell(grid, 0, 0, columnFirst);
    if (c === null) return null;
    return Number(typeof c === "object" ? c.v : c);
  }

  // An array the page sizes itself, every cell Empty.
  function emptyGrid(rows, columns) {
    return { $: "array", lbound: [0, 0], ubound: [rows, columns],
             v: Array.from({ length: rows + 1 }, () => Array(columns + 1).fill(null)) };
  }

  function element(tag, content, attributes = {}) {
    const e = document.createElement(tag);
    if (content !== undefined && content !== null) {
      if (content instanceof Node) e.append(content);
      else e.textContent = content;
    }
    for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
    return e;
  }

  // A real <table>: headings, then one row per data row of the grid (rows 1..n).
  function table(headings, rows) {
    const t = element("table");
    const head = t.createTHead().insertRow();
    for (const h of headings) head.append(element("th", h, { scope: "col" }));
    const body = t.createTBody();
    for (const r of rows) {
      const tr = body.insertRow();
      for (const c of r) tr.append(c instanceof Node ? element("td", c) : element("td", c));
    }
    return t;
  }

  function fill(id, ...nodes) {
    const target = document.getElementById(id);
    target.replaceChildren(...nodes);
    return target;
  }

  function options(select, pairs, any = "Any") {
    select.replaceChildren(element("option", any, { value: "" }));
    for (const [value, label] of pairs) select.append(element("option", label, { value }));
  }

  return { settings, call, text, dateText, dateOf, cell, count, emptyGrid, element, table, fill, options,
           clearError, showError };
})();
