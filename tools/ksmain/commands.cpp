// `ksmain init` and `ksmain sql`.
#include <filesystem>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "data/datalink.h"
#include "data/engine_admin.h"
#include "sql/describe.h"
#include "json_variant.h"
#include "schema/schema.h"
#include "sql/translate.h"

namespace ksmain::tool {
namespace {

// The declared column types of every table, as the analyzer sees them.
sql::MemoryCatalog CatalogOf(const std::string& db) {
  data::EngineDatabase engine = data::EngineDatabase::Open(db);
  sql::MemoryCatalog catalog;
  for (const auto& table : engine.Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
    const std::string name = table.at(0).AsString();
    sql::TableInfo info{name, {}};
    for (const auto& column : engine.Rows("SELECT name, type FROM pragma_table_info(?1)", {Variant(name)})) {
      info.columns.push_back({column.at(0).AsString(), sql::ColumnTypeFromDeclared(column.at(1).AsString())});
    }
    catalog.Add(std::move(info));
  }
  return catalog;
}

}  // namespace

int Init(const std::string& kind, const std::string& file, bool demo) {
  if (kind == "portfolio") {
    schema::CreatePortfolioDatabase(file, demo);
  } else {
    schema::CreateCatalogueDatabase(file, demo);
  }
  return 0;
}

int Sql(const std::string& dialect_name, const std::string& db, bool run, std::istream& in,
        std::ostream& out) {
  const sql::Dialect dialect = dialect_name == "tsql" ? sql::Dialect::TSql : sql::Dialect::Jet;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    if (!run) {
      const sql::MemoryCatalog catalog = db.empty() ? sql::MemoryCatalog() : CatalogOf(db);
      const sql::Translation t = sql::Translate(text, dialect, catalog);
      out << (db.empty() ? t.text : sql::DescribeTranslation(t)) << "\n";
      return 0;
    }
    if (db.empty()) throw std::runtime_error("--run needs --db FILE");
    data::DataLink link(Variant("Data Source=" + db), dialect);
    data::Recordset& rs = link.Query(text);
    // Columns as a list, not an object per row: select order is kept and two columns of
    // the same name (a.ID, b.ID) stay two. One row per line keeps long results readable.
    nlohmann::json columns = nlohmann::json::array();
    if (rs.IsOpen()) {
      for (int i = 0; i < rs.FieldCount(); ++i) columns.push_back(rs.FieldName(i));
    }
    constexpr auto kReplace = nlohmann::json::error_handler_t::replace;
    std::ostringstream text_out;  // nothing half-printed when a row fails part-way
    text_out << "{\"columns\": " << columns.dump(-1, ' ', false, kReplace) << ",\n \"rows\": [";
    const char* separator = "";
    while (rs.IsOpen() && !rs.AtEof()) {
      nlohmann::json row = nlohmann::json::array();
      for (int i = 0; i < rs.FieldCount(); ++i) row.push_back(bridge::ToJson(rs.Field(i)));
      text_out << separator << "\n  " << row.dump(-1, ' ', false, kReplace);
      separator = ",";
      rs.MoveNext();
    }
    text_out << "]}\n";
    out << text_out.str();
    return 0;
  } catch (const sql::SqlError& e) {
    out << "error at " << e.position() << ": " << e.description() << "\n";
    return 1;
  } catch (const VbError& e) {
    out << "error " << e.number() << ": " << e.description() << "\n";
    return 1;
  }
}

}  // namespace ksmain::tool
