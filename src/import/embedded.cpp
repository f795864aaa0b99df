// The embedded engine as an import's destination and as its source.
//
// Both go through the data layer's driver seam (a Session running engine-native SQL), so
// no engine header is needed here; what is engine-specific is the SQL for the catalogue
// (sqlite_master, table_info) and the column types a created table gets.
//
// Types of created columns are the ones the data layer reads back in their kinds: dates
// DATETIME (ISO text), currency MONEY, yes/no BIT, text with the case-blind comparison
// both source engines used, blobs BLOB.
#include <algorithm>
#include <cctype>
#include <string_view>
#include <sys/stat.h>

#include "data/driver.h"
#include "data/engine_admin.h"
#include "data/sqlite/embedded.h"
#include "import/destination.h"
#include "import/embedded_source.h"
#include "sql/translate.h"

namespace ksmain::import {
namespace {

// The kind a declared column type stands for, as the data layer reads it.
ColumnKind KindOfDeclared(const std::string& declared) {
  std::string upper = declared;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("BLOB", 0) == 0 || upper.rfind("BINARY", 0) == 0 ||
      upper.rfind("VARBINARY", 0) == 0 || upper.rfind("IMAGE", 0) == 0 ||
      upper.rfind("LONGBINARY", 0) == 0 || upper.rfind("OLEOBJECT", 0) == 0) {
    return ColumnKind::Blob;
  }
  switch (sql::ColumnTypeFromDeclared(declared)) {
    case sql::ColumnType::Integer: return ColumnKind::Integer;
    case sql::ColumnType::Long: return ColumnKind::Long;
    case sql::ColumnType::Double: return ColumnKind::Double;
    case sql::ColumnType::Currency: return ColumnKind::Currency;
    case sql::ColumnType::Boolean: return ColumnKind::Boolean;
    case sql::ColumnType::Date: return ColumnKind::Date;
    case sql::ColumnType::String:
      return upper.rfind("TEXT", 0) == 0 || upper.rfind("MEMO", 0) == 0 ? ColumnKind::Memo
                                                                       : ColumnKind::Text;
    case sql::ColumnType::Unknown: return ColumnKind::Text;
  }
  return ColumnKind::Text;
}

std::string DeclaredOf(const Column& column) {
  switch (column.kind) {
    case ColumnKind::Boolean: return "BIT";
    case ColumnKind::Integer: return "SMALLINT";
    case ColumnKind::Long: return "INTEGER";
    case ColumnKind::Double: return "REAL";
    case ColumnKind::Currency: return "MONEY";
    case ColumnKind::Date: return "DATETIME";
    case ColumnKind::Text:
      return column.size > 0 ? "VARCHAR(" + std::to_string(column.size) + ") COLLATE NOCASE"
                             : "VARCHAR(255) COLLATE NOCASE";
    case ColumnKind::Memo: return "TEXT COLLATE NOCASE";
    case ColumnKind::Blob: return "BLOB";
  }
  return "TEXT";
}

// The user tables of an embedded database and their columns.
std::vector<std::string> TableNames(data::Session& session) {
  std::vector<std::string> names;
  for (auto& row : data::NativeRows(session,
                        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                        "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid")) {
    names.push_back(TextOf(row[0]));
  }
  return names;
}

std::optional<TableShape> ShapeOf(data::Session& session, const std::string& name) {
  for (const std::string& table : TableNames(session)) {
    if (Lower(table) != Lower(name)) continue;
    TableShape shape{table, {}};
    Variant arg(table);
    for (auto& row : data::NativeRows(session, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid",
                          std::span<const Variant>(&arg, 1))) {
      shape.columns.push_back(Column{TextOf(row[0]), KindOfDeclared(TextOf(row[1])), 0});
    }
    return shape;
  }
  return std::nullopt;
}

class EmbeddedDestination final : public SessionDestination {
 public:
  explicit EmbeddedDestination(std::unique_ptr<data::Session> session)
      : SessionDestination(std::move(session)) {}

  std::vector<std::string> Tables() override { return TableNames(*session_); }
  std::optional<TableShape> Find(const std::string& name) override { return ShapeOf(*session_, name); }
  std::int64_t RowCount(const std::string& table) override {
    auto rows = data::NativeRows(*session_, "SELECT count(*) FROM " + Quote(table));
    if (rows.empty() || rows[0].empty()) return 0;
    const Variant& v = rows[0][0];
    return v.kind() == VarKind::Long ? v.AsLong() : static_cast<std::int64_t>(v.AsDouble());
  }

  void CreateTable(const TableShape& shape) override {
    std::string sql = "CREATE TABLE " + Quote(shape.name) + " (";
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += Quote(shape.columns[i].name) + " " + DeclaredOf(shape.columns[i]);
    }
    session_->ExecuteScript(sql + ")");
  }

  void PrepareInsert(const TableShape& table, const std::vector<Column>& columns) override {
    std::string names, values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) {
        names += ", ";
        values += ", ";
      }
      names += Quote(columns[i].name);
      // A blob travels as a String of bytes; the cast stores those bytes as a blob rather
      // than as text.
      const std::string param = "?" + std::to_string(i + 1);
      values += columns[i].kind == ColumnKind::Blob ? "CAST(" + param + " AS BLOB)" : param;
    }
    insert_ = "INSERT INTO " + Quote(table.name) + " (" + names + ") VALUES (" + values + ")";
  }

  void Insert(std::span<const Variant> values) override {
    session_->ExecuteNative(insert_, values, nullptr);
  }

 private:
  std::string insert_;
  bool open_ = false;
};

class EmbeddedReader final : public RowReader {
 public:
  explicit EmbeddedReader(std::unique_ptr<data::Cursor> cursor) : cursor_(std::move(cursor)) {}
  bool Next(std::vector<Variant>& row) override {
    if (!cursor_ || !cursor_->HasRow()) return false;
    row.resize(static_cast<std::size_t>(cursor_->ColumnCount()));
    for (int i = 0; i < cursor_->ColumnCount(); ++i) row[static_cast<std::size_t>(i)] = cursor_->Value(i);
    cursor_->Next();
    return true;
  }

 private:
  std::unique_ptr<data::Cursor> cursor_;
};

class EmbeddedSource final : public Source {
 public:
  explicit EmbeddedSource(std::unique_ptr<data::Session> session) : session_(std::move(session)) {}
  std::vector<TableShape> Tables() override {
    std::vector<TableShape> tables;
    for (const std::string& name : TableNames(*session_)) {
      if (auto shape = ShapeOf(*session_, name)) tables.push_back(std::move(*shape));
    }
    return tables;
  }
  std::unique_ptr<RowReader> Read(const TableShape& table) override {
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += Quote(table.columns[i].name);
    }
    if (table.columns.empty()) sql += "1";
    return std::make_unique<EmbeddedReader>(session_->ExecuteNative(sql + " FROM " + Quote(table.name), {}, nullptr));
  }

 private:
  std::unique_ptr<data::Session> session_;
};

}  // namespace

std::unique_ptr<Destination> OpenEmbeddedDestination(const std::string& path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
  data::Driver& driver = data::EmbeddedDriver();
  return std::make_unique<EmbeddedDestination>(exists ? driver.Open(path, 30) : driver.Create(path));
}

bool LooksLikeEmbeddedFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char head[16] = {};
  const bool ok = std::fread(head, 1, sizeof head, f) == sizeof head;
  std::fclose(f);
  return ok && std::string_view(head, 16) == std::string_view("SQLite format 3\0", 16);
}

std::unique_ptr<Source> OpenEmbeddedSource(const std::string& path) {
  return std::make_unique<EmbeddedSource>(data::EmbeddedDriver().Open(path, 30));
}

}  // namespace ksmain::import
