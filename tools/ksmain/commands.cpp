// `ksmain init` and `ksmain sql`.
#include <filesystem>
#include <iostream>
#include <iterator>

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
    nlohmann::json rows = nlohmann::json::array();
    if (rs.IsOpen()) {
      while (!rs.AtEof()) {
        nlohmann::json row = nlohmann::json::object();
        for (int i = 0; i < rs.FieldCount(); ++i) row[rs.FieldName(i)] = bridge::ToJson(rs.Field(i));
        rows.push_back(std::move(row));
        rs.MoveNext();
      }
    }
    out << rows.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
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
