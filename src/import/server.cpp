// A server database as an import's destination and as its source, over the data layer's
// server driver (engine-native SQL on a Session, like the embedded ends).
//
// Tables and columns come from information_schema, limited to the connection's current
// schema. Created columns take the types the server schema uses, so a member reads them
// back in their kinds: text citext (case-blind like both source engines), dates
// timestamp(0), currency numeric(19,4), yes/no boolean, blobs bytea.
//
// Blobs cross the driver as hex text: the Variant carries a blob as a String of bytes, and
// the driver sends text as UTF-16, which would mangle bytes that are no UTF-8. Hex is
// exact both ways (decode() on the way in, encode() on the way out).
#include "import/server_end.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "data/driver.h"
#include "data/engine_admin.h"
#include "data/odbc/server.h"
#include "ksmain/error.h"

namespace ksmain::import {
namespace {

std::int64_t NumberOf(const Variant& v) {
  switch (v.kind()) {
    case VarKind::Integer: return v.AsInteger();
    case VarKind::Long: return v.AsLong();
    case VarKind::Double: return static_cast<std::int64_t>(v.AsDouble());
    case VarKind::String: {
      const std::string& s = v.AsString();
      return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }) && s.size() < 18
                 ? std::stoll(s)
                 : 0;
    }
    default: return 0;
  }
}

// The kind of a server column, from information_schema's data_type (a domain's column
// reports its base type) and scale.
ColumnKind KindOfServer(const std::string& data_type, std::int64_t scale) {
  const std::string type = Lower(data_type);
  if (type == "boolean") return ColumnKind::Boolean;
  if (type == "smallint") return ColumnKind::Integer;
  if (type == "integer") return ColumnKind::Long;
  // bigint values beyond 2^53 lose digits as Double; the Variant has no wider exact integer
  // but Currency, whose four decimals would be nonsense for a count.
  if (type == "bigint" || type == "real" || type == "double precision") return ColumnKind::Double;
  if (type == "money") return ColumnKind::Currency;
  if (type == "numeric") return scale == 4 ? ColumnKind::Currency : ColumnKind::Double;
  if (type.rfind("timestamp", 0) == 0 || type == "date") return ColumnKind::Date;
  if (type == "bytea") return ColumnKind::Blob;
  if (type == "character varying" || type == "character") return ColumnKind::Text;
  return ColumnKind::Memo;  // text, citext and anything else travel as text
}

std::string DeclaredOf(const Column& column) {
  switch (column.kind) {
    case ColumnKind::Boolean: return "boolean";
    case ColumnKind::Integer: return "smallint";
    case ColumnKind::Long: return "integer";
    case ColumnKind::Double: return "double precision";
    case ColumnKind::Currency: return "numeric(19,4)";
    case ColumnKind::Date: return "timestamp(0)";
    case ColumnKind::Text:
    case ColumnKind::Memo: return "citext";
    case ColumnKind::Blob: return "bytea";
  }
  return "text";
}

constexpr const char* kTablesSql =
    "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema() "
    "AND table_type = 'BASE TABLE' ORDER BY table_name";

std::vector<std::string> TableNames(data::Session& session) {
  std::vector<std::string> names;
  for (auto& row : data::NativeRows(session, kTablesSql)) names.push_back(TextOf(row[0]));
  return names;
}

std::optional<TableShape> ShapeOf(data::Session& session, const std::string& name) {
  for (const std::string& table : TableNames(session)) {
    if (Lower(table) != Lower(name)) continue;
    TableShape shape{table, {}};
    Variant arg(table);
    for (auto& row : data::NativeRows(session,
                          "SELECT column_name, data_type, "
                          "coalesce(character_maximum_length, 0)::text, coalesce(numeric_scale, -1)::text "
                          "FROM information_schema.columns WHERE table_schema = current_schema() "
                          "AND table_name = ? ORDER BY ordinal_position",
                          std::span<const Variant>(&arg, 1))) {
      const std::int64_t scale = TextOf(row[3]) == "-1" ? -1 : NumberOf(row[3]);
      Column column{TextOf(row[0]), KindOfServer(TextOf(row[1]), scale),
                    static_cast<int>(std::min<std::int64_t>(NumberOf(row[2]), 1 << 30))};
      shape.columns.push_back(std::move(column));
    }
    return shape;
  }
  return std::nullopt;
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class ServerDestination final : public SessionDestination {
 public:
  explicit ServerDestination(std::unique_ptr<data::Session> session)
      : SessionDestination(std::move(session)) {}

  std::vector<std::string> Tables() override { return TableNames(*session_); }
  std::optional<TableShape> Find(const std::string& name) override { return ShapeOf(*session_, name); }
  std::int64_t RowCount(const std::string& table) override {
    auto rows = data::NativeRows(*session_, "SELECT count(*)::text FROM " + Quote(table));
    return rows.empty() || rows[0].empty() ? 0 : NumberOf(rows[0][0]);
  }

  void CreateTable(const TableShape& shape) override {
    if (std::any_of(shape.columns.begin(), shape.columns.end(),
                    [](const Column& c) { return c.kind == ColumnKind::Text || c.kind == ColumnKind::Memo; })) {
      session_->ExecuteScript("CREATE EXTENSION IF NOT EXISTS citext");
    }
    std::string sql = "CREATE TABLE " + Quote(shape.name) + " (";
    for (std::size_t i = 0; i < shape.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += Quote(shape.columns[i].name) + " " + DeclaredOf(shape.columns[i]);
    }
    session_->ExecuteScript(sql + ")");
  }

  void PrepareInsert(const TableShape& table, const std::vector<Column>& columns) override {
    std::string names, values;
    blob_.assign(columns.size(), false);
    names_.clear();
    date_.assign(columns.size(), false);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      names_.push_back(columns[i].name);
      date_[i] = columns[i].kind == ColumnKind::Date;
      if (i > 0) {
        names += ", ";
        values += ", ";
      }
      names += Quote(columns[i].name);
      blob_[i] = columns[i].kind == ColumnKind::Blob;
      values += blob_[i] ? "decode(?, 'hex')" : "?";
    }
    insert_ = "INSERT INTO " + Quote(table.name) + " (" + names + ") VALUES (" + values + ")";
  }

  void Insert(std::span<const Variant> values) override {
    for (std::size_t i = 0; i < values.size() && i < date_.size(); ++i) {
      if (date_[i] && values[i].IsString()) RefuseFractionOfSecond(values[i].AsString(), names_[i]);
    }
    if (std::none_of(blob_.begin(), blob_.end(), [](bool b) { return b; })) {
      session_->ExecuteNative(insert_, values, nullptr);
      return;
    }
    row_.assign(values.begin(), values.end());
    for (std::size_t i = 0; i < row_.size() && i < blob_.size(); ++i) {
      if (blob_[i] && row_[i].IsString()) row_[i] = Variant(Hex(row_[i].AsString()));
    }
    session_->ExecuteNative(insert_, row_, nullptr);
  }

 private:
  // The server's date columns hold whole seconds; rounding a time would change it (at
  // 23:59:59.5, even its day), so such a value is refused by name like any other that the
  // destination cannot hold.
  static void RefuseFractionOfSecond(const std::string& iso, const std::string& column) {
    // Dates come here as the engine's ISO text; milliseconds follow the seconds after '.'.
    if (iso.find('.') != std::string::npos) {
      throw ValueError(column, "the date " + iso +
                                   " has a fraction of a second, which the server's date column does not hold");
    }
  }

  std::string insert_;
  std::vector<std::string> names_;
  std::vector<bool> date_;
  std::vector<bool> blob_;
  std::vector<Variant> row_;
  bool open_ = false;
};

class ServerReader final : public RowReader {
 public:
  ServerReader(std::unique_ptr<data::Cursor> cursor, std::vector<bool> blob, std::vector<std::string> names)
      : cursor_(std::move(cursor)), blob_(std::move(blob)), names_(std::move(names)) {}
  bool Next(std::vector<Variant>& row) override {
    if (!cursor_ || !cursor_->HasRow()) return false;
    row.resize(blob_.size());
    for (std::size_t i = 0; i < blob_.size(); ++i) {
      Variant v = cursor_->Value(static_cast<int>(i));
      if (blob_[i] && v.IsString()) v = Variant(Unhex(v.AsString(), names_[i]));
      row[i] = std::move(v);
    }
    cursor_->Next();
    return true;
  }

 private:
  static std::string Unhex(const std::string& hex, const std::string& column) {
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
      const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
      if (hi < 0 || lo < 0) throw ValueError(column, "the server's hex text of a blob is malformed");
      out += static_cast<char>(hi * 16 + lo);
    }
    if (hex.size() % 2 != 0) throw ValueError(column, "the server's hex text of a blob is malformed");
    return out;
  }

  std::unique_ptr<data::Cursor> cursor_;
  std::vector<bool> blob_;
  std::vector<std::string> names_;
};

class ServerSource final : public Source {
 public:
  explicit ServerSource(std::unique_ptr<data::Session> session) : session_(std::move(session)) {}
  std::vector<TableShape> Tables() override {
    std::vector<TableShape> tables;
    for (const std::string& name : TableNames(*session_)) {
      if (auto shape = ShapeOf(*session_, name)) tables.push_back(std::move(*shape));
    }
    return tables;
  }
  std::unique_ptr<RowReader> Read(const TableShape& table) override {
    std::string sql = "SELECT ";
    std::vector<bool> blob;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      const Column& c = table.columns[i];
      blob.push_back(c.kind == ColumnKind::Blob);
      names.push_back(c.name);
      sql += blob.back() ? "encode(" + Quote(c.name) + ", 'hex')" : Quote(c.name);
    }
    if (table.columns.empty()) sql += "1";
    return std::make_unique<ServerReader>(session_->ExecuteNative(sql + " FROM " + Quote(table.name), {}, nullptr),
                                          std::move(blob), std::move(names));
  }

 private:
  std::unique_ptr<data::Session> session_;
};

}  // namespace

std::unique_ptr<Source> OpenServerSource(const std::string& connect) {
  return std::make_unique<ServerSource>(data::ServerDriver().Open(connect, 30));
}

std::unique_ptr<Destination> OpenServerDestination(const std::string& connect) {
  return std::make_unique<ServerDestination>(data::ServerDriver().Open(connect, 30));
}

}  // namespace ksmain::import
