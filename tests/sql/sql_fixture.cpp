#include "sql_fixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "data/sqlite/functions.h"
#include "schema/schema.h"

namespace ksmain::sql::testing {
namespace {

// A database holding the real schema's tables, as the embedded driver creates them.
sqlite3* OpenSchema(std::string_view ddl) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  // A misspelt name must fail, not turn into a string literal.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  data::sqlite::RegisterEngineFunctions(db);
  if (sqlite3_exec(db, std::string(ddl).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("schema: ") + sqlite3_errmsg(db));
  return db;
}

// The declared column types of every table of a schema, read back from the engine.
MemoryCatalog CatalogOf(std::string_view ddl, std::uint64_t version) {
  sqlite3* db = OpenSchema(ddl);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT m.name, p.name, p.type FROM sqlite_master AS m, pragma_table_info(m.name) AS p "
                     "WHERE m.type = 'table' ORDER BY m.name, p.cid",
                     -1, &st, nullptr);
  std::vector<TableInfo> tables;
  while (sqlite3_step(st) == SQLITE_ROW) {
    auto text = [&](int i) { return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i))); };
    if (tables.empty() || tables.back().name != text(0)) tables.push_back({text(0), {}});
    tables.back().columns.push_back({text(1), ColumnTypeFromDeclared(text(2))});
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  MemoryCatalog catalog(version);
  for (TableInfo& t : tables) catalog.Add(std::move(t));
  return catalog;
}

}  // namespace

const MemoryCatalog& PortfolioCatalog() {
  static const MemoryCatalog c = CatalogOf(schema::PortfolioDdl(), 101);
  return c;
}

const MemoryCatalog& CatalogueCatalog() {
  static const MemoryCatalog c = CatalogOf(schema::CatalogueDdl(), 202);
  return c;
}

Db::Db(const MemoryCatalog& catalog)
    : db_(OpenSchema(&catalog == &PortfolioCatalog() ? schema::PortfolioDdl() : schema::CatalogueDdl())),
      catalog_(catalog) {}

Db::~Db() { sqlite3_close(db_); }

void Db::Exec(std::string_view sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error);
  ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "") << "\n" << sql;
}

Rows Db::Query(std::string_view sql, const std::vector<BoundValue>& values) {
  return Fetch(sql, values, false);
}

Rows Db::Fetch(std::string_view sql, const std::vector<BoundValue>& values, bool storage_classes) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + std::string(sql));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const BoundValue& v = values[i];
    if (const auto* integer = std::get_if<std::int64_t>(&v)) {
      sqlite3_bind_int64(stmt, index, *integer);
    } else if (const auto* real = std::get_if<double>(&v)) {
      sqlite3_bind_double(stmt, index, *real);
    } else if (const auto* text = std::get_if<std::string>(&v)) {
      sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    }
  }
  Rows rows;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      // When asked, the storage class is part of the value: 1, 1.0 and '1' differ.
      const int storage = sqlite3_column_type(stmt, i);
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      std::string cell = text ? text : "NULL";
      if (storage_classes) cell = std::to_string(storage) + ":" + cell;
      row.push_back(std::move(cell));
    }
    rows.push_back(std::move(row));
  }
  const std::string message = sqlite3_errmsg(db_);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) throw std::runtime_error(message);
  return rows;
}

Rows Db::Run(std::string_view source, Dialect dialect) {
  const std::string text = Translate(source, dialect, catalog_).text;
  // Every statement judged here is judged twice: the parameterised form with its values
  // bound must give the very rows, of the very storage classes, that the text with its
  // values written out gives.
  const BoundStatement bound = TranslateBound(source, dialect, catalog_);
  EXPECT_EQ(Fetch(bound.engine_text(), bound.values, true), Fetch(text, {}, true))
      << bound.engine_text();
  return Query(text);
}

}  // namespace ksmain::sql::testing
