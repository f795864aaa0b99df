// `ksmain demo`: what a page session shows, on fresh demo databases, through the same
// late-bound calls a page makes (CreateObject by ProgID, members by name, the page's own
// variables passed by reference).
//
// The sections run in page order: the portfolio pages, a save and reload of one project,
// the reports, then the catalogue. Each prints what its page would put on screen, a few
// rows per grid, so the whole session reads in one screen or two.
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <stdexcept>

#include "commands.h"
#include "data/datalink.h"
#include "demo_page.h"
#include "frame/vb_runtime.h"
#include "schema/schema.h"

namespace ksmain::tool {
namespace demo {

std::string Shown(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return "";
    case VarKind::Null: return "-";
    case VarKind::Array: return "(array)";
    default: return vb::CStr(v);
  }
}

Variant Cell(const Variant& grid, Layout layout, int row, int column) {
  if (!grid.IsArray()) return {};
  const VarArray& a = grid.AsArray();
  if (a.dims() != 2) return {};
  const int first = layout == Layout::RowFirst ? row : column;
  const int second = layout == Layout::RowFirst ? column : row;
  if (first < a.bound(0).lower || first > a.bound(0).upper) return {};
  if (second < a.bound(1).lower || second > a.bound(1).upper) return {};
  return a.at({first, second});
}

Page::Page(std::ostream& out, std::string_view progid) : out_(out) {
  try {
    object_ = CreateObject(progid);
  } catch (const VbError& e) {
    out_ << "  ! CreateObject(\"" << progid << "\"): automation error " << e.number() << ": "
         << e.description() << "\n";
  }
}

bool Page::Call(std::string_view member, std::vector<Variant>& args, Variant* result) {
  if (!object_) return false;
  std::vector<Variant*> pointers;
  for (Variant& a : args) pointers.push_back(&a);
  try {
    Variant r = object_->Invoke(member, pointers);
    if (result) *result = std::move(r);
    return true;
  } catch (const VbError& e) {
    out_ << "  ! " << member << ": automation error " << e.number() << ": " << e.description() << "\n";
  } catch (const std::exception& e) {
    out_ << "  ! " << member << ": " << e.what() << "\n";
  }
  return false;
}

void Page::Heading(const std::string& title) { out_ << "\n== " << title << " ==\n"; }

void Page::ShowRows(const Variant& grid, Layout layout, const std::vector<Column>& columns,
                    int first, int last, int max_rows) {
  out_ << "  ";
  for (const Column& c : columns) out_ << std::left << std::setw(c.width) << c.heading;
  out_ << "\n";
  for (int r = first; r <= last && r < first + max_rows; ++r) {
    out_ << "  ";
    for (const Column& c : columns) {
      std::string text = Shown(Cell(grid, layout, r, c.index));
      if (static_cast<int>(text.size()) >= c.width) text = text.substr(0, c.width - 2) + "~";
      out_ << std::left << std::setw(c.width) << text;
    }
    out_ << "\n";
  }
  if (last - first + 1 > max_rows) out_ << "  ... " << (last - first + 1 - max_rows) << " more\n";
}

int Page::ShowGrid(const std::string& title, const Variant& grid, Layout layout,
                   const std::vector<Column>& columns, int max_rows) {
  Heading(title);
  const Variant count = Cell(grid, layout, 0, 0);
  if (count.IsEmpty()) {
    out_ << "  (the call did not finish)\n";
    return -1;
  }
  const int rows = vb::CInt(count);
  out_ << "  " << rows << " row(s)\n";
  if (rows > 0) ShowRows(grid, layout, columns, 1, rows, max_rows);
  return rows;
}

}  // namespace demo

namespace {

struct Section {
  const char* title;
  void (*run)(std::ostream&, demo::Session&);
};

// Page order: the later sections use what the earlier ones picked.
constexpr Section kSections[] = {
    {"Portfolio (KsMain.Kestrel)", demo::PortfolioSection},
    {"Save and reload (KsMain.KsMaint, read back through KsMain.Kestrel)", demo::SaveAndReloadSection},
    {"Reports (KsMain.Kestrel)", demo::ReportsSection},
    {"Catalogue (KsMain.InsertTable_summary)", demo::CatalogueSection},
};

}  // namespace

int Demo(const std::string& dir, bool replace, std::ostream& out) {
  namespace fs = std::filesystem;
  fs::create_directories(dir);
  const std::string portfolio = (fs::path(dir) / "portfolio.db").string();
  const std::string catalogue = (fs::path(dir) / "veldaSQL.db").string();
  // Databases already there may hold someone's data (committed rows can live in the -wal
  // file alone): as `init` does, they are refused unless the caller asked to replace them,
  // and both are checked before either is touched.
  const auto holds_data = [](const fs::path& p) {
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    if (!fs::exists(status)) return false;
    return !fs::is_regular_file(status) || fs::file_size(p, ec) != 0 || ec;
  };
  for (const auto& f : {portfolio, catalogue}) {
    for (const char* suffix : {"", "-wal"}) {
      if (!replace && holds_data(f + suffix)) {
        throw std::runtime_error(f + suffix + " already exists (--replace replaces the demo databases)");
      }
    }
  }
  if (replace) {
    for (const auto& f : {portfolio, catalogue}) {
      for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(f + suffix);
    }
  }
  schema::CreatePortfolioDatabase(portfolio, true);
  schema::CreateCatalogueDatabase(catalogue, true);
  // The catalogue's fixed connection string names a server; this deployment maps it here.
  data::SetDataSource(data::CatalogueHost(), fs::absolute(dir).string());
  out << "Demo databases in " << fs::absolute(dir).string() << " (today is "
      << vb::CStr(Variant::FromDate(vb::Today())) << ")\n";

  demo::Session session{"Data Source=" + portfolio, "Data Source=" + catalogue, Variant()};
  for (const Section& s : kSections) {
    out << "\n# " << s.title << "\n";
    // A section that trips over an unexpected value says so; the session goes on, as the
    // next page of a site still loads when one page fails.
    try {
      s.run(out, session);
    } catch (const std::exception& e) {
      out << "  (this section stopped: " << e.what() << ")\n";
    }
  }
  return 0;
}

}  // namespace ksmain::tool
