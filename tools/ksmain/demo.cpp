// `ksmain demo`: what a page session shows, on fresh demo databases, through the same
// late-bound calls a page makes.
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "commands.h"
#include "data/datalink.h"
#include "frame/vb_runtime.h"
#include "ksmain/dispatch.h"
#include "schema/schema.h"

namespace ksmain::tool {
namespace {

namespace fs = std::filesystem;

// A page's view of a variant: its text, or a marker for Empty and Null.
std::string Shown(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return "";
    case VarKind::Null: return "(null)";
    case VarKind::Array: return "(array)";
    default: return vb::CStr(v);
  }
}

class Page {
 public:
  Page(std::ostream& out, const std::string& progid) : out_(out), object_(CreateObject(progid)) {}

  Variant Call(const std::string& member, std::vector<Variant>& args) {
    std::vector<Variant*> pointers;
    for (Variant& a : args) pointers.push_back(&a);
    return object_->Invoke(member, pointers);
  }

  // Prints rows 1..count of a row-first grid (or column-first), the given columns.
  void ShowGrid(const std::string& title, const Variant& grid, bool row_first,
                const std::vector<int>& columns, int max_rows = 12) {
    out_ << "\n== " << title << " ==\n";
    if (!grid.IsArray()) {
      out_ << "  (no grid)\n";
      return;
    }
    const VarArray& a = grid.AsArray();
    auto cell = [&](int r, int c) -> const Variant& { return row_first ? a.at({r, c}) : a.at({c, r}); };
    const Variant& count = cell(0, 0);
    if (count.IsEmpty()) {
      out_ << "  (the call did not finish: count cell Empty)\n";
      return;
    }
    const int rows = vb::CInt(count);
    out_ << "  " << rows << " row(s)\n";
    for (int r = 1; r <= rows && r <= max_rows; ++r) {
      out_ << "  ";
      for (int c : columns) out_ << std::left << std::setw(22) << Shown(cell(r, c)).substr(0, 21);
      out_ << "\n";
    }
    if (rows > max_rows) out_ << "  ...\n";
  }

  std::ostream& out() { return out_; }

 private:
  std::ostream& out_;
  std::unique_ptr<DispatchObject> object_;
};

void PortfolioSession(std::ostream& out, const std::string& connect) {
  Page page(out, "KsMain.Kestrel");
  out << "\n# Portfolio (KsMain.Kestrel on " << connect << ")\n";
  std::vector<Variant> args{Variant(), Variant(connect), Variant(), Variant("")};
  page.Call("Get_StatusAll", args);
  page.ShowGrid("Statuses", args[0], true, {0, 1, 2});
  args = {Variant(), Variant(connect), Variant(), Variant()};
  page.Call("Get_DepartmentAll", args);
  page.ShowGrid("Departments (sort written back: \"" + Shown(args[3]) + "\")", args[0], true, {0, 1, 2});
  args = {Variant(), Variant(connect), Variant(), Variant("priorityno desc")};
  page.Call("Get_PriorityAll", args);
  page.ShowGrid("Priorities by number, descending", args[0], true, {0, 1, 2});
}

}  // namespace

int Demo(const std::string& dir, std::ostream& out) {
  fs::create_directories(dir);
  const std::string portfolio = (fs::path(dir) / "portfolio.db").string();
  const std::string catalogue = (fs::path(dir) / "veldaSQL.db").string();
  for (const auto& f : {portfolio, catalogue}) {
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(f + suffix);
  }
  schema::CreatePortfolioDatabase(portfolio, true);
  schema::CreateCatalogueDatabase(catalogue, true);
  // The catalogue's fixed connection string names a server; this deployment maps it here.
  data::SetDataSource(data::CatalogueHost(), fs::absolute(dir).string());
  out << "Demo databases in " << fs::absolute(dir).string() << "\n";
  PortfolioSession(out, "Data Source=" + portfolio);
  return 0;
}

}  // namespace ksmain::tool
