// What the demo shares between its sessions: a page's late-bound view of one object and
// the printing of result grids the way a page lays them out.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/dispatch.h"
#include "ksmain/variant.h"

namespace ksmain::tool::demo {

// One demo run: the connection strings and what one section hands to the next, as a
// page session carries the project the user picked from the list.
struct Session {
  std::string portfolio;  // "Data Source=.../portfolio.db"
  std::string catalogue;  // "Data Source=.../veldaSQL.db"
  Variant project_id;     // the project the portfolio section opened
};

// Grids come in two layouts: element (row, column) or element (column, row).
enum class Layout { RowFirst, ColumnFirst };

struct Column {
  int index;
  std::string heading;
  int width;
};

// A page's text for a value: Empty as nothing, Null as "-", dates and numbers as the
// runtime writes them.
std::string Shown(const Variant& v);

// Cell (row, column) of a grid in either layout; Empty when the grid is not an array or
// the cell lies outside it.
Variant Cell(const Variant& grid, Layout layout, int row, int column);

// One object created by ProgID and called by member name, as a page calls it.
class Page {
 public:
  Page(std::ostream& out, std::string_view progid);

  // Invokes `member` with the page's own variables. Returns false (after printing the
  // error's number and text) when the member raised an automation error.
  bool Call(std::string_view member, std::vector<Variant>& args, Variant* result = nullptr);

  // Prints "title" and, from the count in cell (0, 0), up to `max_rows` data rows.
  // Returns the count, or -1 when the member ended without writing it.
  int ShowGrid(const std::string& title, const Variant& grid, Layout layout,
               const std::vector<Column>& columns, int max_rows = 5);
  // Prints rows first..last without looking at a count cell.
  void ShowRows(const Variant& grid, Layout layout, const std::vector<Column>& columns,
                int first, int last, int max_rows);

  void Heading(const std::string& title);
  std::ostream& out() { return out_; }

 private:
  std::ostream& out_;
  std::unique_ptr<DispatchObject> object_;
};

void PortfolioSection(std::ostream& out, Session& session);
void SaveAndReloadSection(std::ostream& out, Session& session);
void ReportsSection(std::ostream& out, Session& session);
void CatalogueSection(std::ostream& out, Session& session);

}  // namespace ksmain::tool::demo
