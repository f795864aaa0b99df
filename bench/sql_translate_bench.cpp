// Cost of translating the longest statements the members send: parse, analyse and print
// from scratch (what the first call of a statement shape pays), and through the
// translation cache (what every further call pays).
#include <benchmark/benchmark.h>

#include "sql/translate.h"
#include "sql/member_statements.h"  // tests/sql: the statements as the members build them

namespace {

using ksmain::sql::Dialect;
using ksmain::sql::MemoryCatalog;
namespace t = ksmain::sql::testing;

const MemoryCatalog& CatalogFor(Dialect d) {
  // The benchmark only needs the tables these three statements name.
  static const MemoryCatalog portfolio = [] {
    using ksmain::sql::ColumnType;
    MemoryCatalog c(1);
    auto table = [&](const char* name, std::vector<std::pair<const char*, ColumnType>> cols) {
      ksmain::sql::TableInfo info{name, {}};
      for (auto& [n, ty] : cols) info.columns.push_back({n, ty});
      c.Add(std::move(info));
    };
    table("ProjectMaster", {{"ID", ColumnType::Long}, {"ProjectNo", ColumnType::String},
                            {"NameOfProject", ColumnType::String}, {"PercentCompleted", ColumnType::Double},
                            {"EstDateCompleted", ColumnType::Date}, {"EstDateStarted", ColumnType::Date},
                            {"ActDateStarted", ColumnType::Date}, {"ActDateCompleted", ColumnType::Date},
                            {"ProjectRank", ColumnType::Double}, {"ProjectOwner", ColumnType::Long},
                            {"ProjectType", ColumnType::Long}, {"Priority", ColumnType::Long},
                            {"Status", ColumnType::Long}, {"Department", ColumnType::Long}});
    table("Resource", {{"ID", ColumnType::Long}, {"FirstName", ColumnType::String}, {"LastName", ColumnType::String}});
    table("Type", {{"id", ColumnType::Long}, {"typedescription", ColumnType::String}});
    table("Priority", {{"id", ColumnType::Long}, {"prioritydescription", ColumnType::String}});
    table("Status", {{"id", ColumnType::Long}, {"description", ColumnType::String}});
    table("Department", {{"id", ColumnType::Long}, {"departmentname", ColumnType::String}});
    table("KaizenEvents", {{"ID", ColumnType::Long}, {"KaizenEvent", ColumnType::String}, {"Units", ColumnType::String}});
    table("KaizenResults", {{"ID", ColumnType::Long}, {"ProjectID", ColumnType::Long}, {"KaizenEventID", ColumnType::Long},
                            {"ImpBefore", ColumnType::Double}, {"ImpAfter", ColumnType::Double},
                            {"DateTimeValue", ColumnType::Date}, {"VerifiedBefore", ColumnType::Double},
                            {"VerifiedAfter", ColumnType::Double}, {"VerifiedDate", ColumnType::Date},
                            {"VerifiedBy", ColumnType::Long}});
    return c;
  }();
  static const MemoryCatalog catalogue = [] {
    using ksmain::sql::ColumnType;
    MemoryCatalog c(2);
    ksmain::sql::TableInfo entries{"entries", {{"ID", ColumnType::Long}, {"CategoryId", ColumnType::Long},
                                               {"Title", ColumnType::String}, {"ExpireDate", ColumnType::Date},
                                               {"ActiveInd", ColumnType::String}, {"beg_year", ColumnType::Long},
                                               {"end_year", ColumnType::Long}}};
    for (int i = 1; i <= 6; ++i) entries.columns.push_back({"SubcategoryId" + std::to_string(i), ColumnType::Long});
    c.Add(entries);
    c.Add({"category", {{"ID", ColumnType::Long}, {"category", ColumnType::String}}});
    for (int i = 1; i <= 6; ++i) {
      const std::string n = "subcategory" + std::to_string(i);
      c.Add({n, {{"ID", ColumnType::Long}, {n, ColumnType::String}, {"LinkID", ColumnType::Long}}});
    }
    return c;
  }();
  return d == Dialect::Jet ? portfolio : catalogue;
}

struct Shape {
  const char* name;
  Dialect dialect;
  std::string text;
};

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      {"project_list", Dialect::Jet, t::ProjectListQuery("%", "projectrank desc, datevalue(EstDateStarted)")},
      {"kaizen_report", Dialect::Jet, t::KaizenReportQuery("1/1/2026", "12/31/2026", "%")},
      {"search_categories", Dialect::TSql, t::SearchCategoriesQuery("2005", "'%brake%' or title like '%pad%'")},
  };
  return shapes;
}

void BM_TranslateCold(benchmark::State& state) {
  const Shape& s = Shapes()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(s.name);
  for (auto _ : state) {
    auto t = ksmain::sql::Translate(s.text, s.dialect, CatalogFor(s.dialect));
    benchmark::DoNotOptimize(t.text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.text.size()));
}
BENCHMARK(BM_TranslateCold)->DenseRange(0, 2);

void BM_TranslateCached(benchmark::State& state) {
  const Shape& s = Shapes()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(s.name);
  for (auto _ : state) {
    auto t = ksmain::sql::TranslateCached(s.text, s.dialect, CatalogFor(s.dialect));
    benchmark::DoNotOptimize(t.get());
  }
}
BENCHMARK(BM_TranslateCached)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
