// EngineDatabase over a driver session of its own (never pooled: schema scripts and bulk
// loads should not hand a half-configured connection to a member).
#include "data/engine_admin.h"

#include "data/connection_string.h"
#include "data/driver.h"
#include "data/odbc/server.h"
#include "data/sqlite/embedded.h"

namespace ksmain::data {

EngineDatabase::EngineDatabase(std::unique_ptr<Session> session, bool server)
    : session_(std::move(session)), server_(server) {}
EngineDatabase::EngineDatabase(EngineDatabase&&) noexcept = default;
EngineDatabase& EngineDatabase::operator=(EngineDatabase&&) noexcept = default;
EngineDatabase::~EngineDatabase() = default;

namespace {
// A location naming an ODBC driver or data source is a server database; anything else a file.
Driver& DriverFor(const std::string& location) {
  return NamesOdbcDriver(location) ? ServerDriver() : EmbeddedDriver();
}
}  // namespace

EngineDatabase EngineDatabase::Create(const std::string& path) {
  return EngineDatabase(DriverFor(path).Create(path), IsServer(path));
}

EngineDatabase EngineDatabase::Open(const std::string& path) {
  return EngineDatabase(DriverFor(path).Open(path, 30), IsServer(path));
}

bool EngineDatabase::IsServer(const std::string& location) { return NamesOdbcDriver(location); }

void EngineDatabase::Script(std::string_view sql) { session_->ExecuteScript(sql); }

std::int64_t EngineDatabase::Run(std::string_view sql, std::span<const Variant> params) {
  std::int64_t affected = 0;
  std::unique_ptr<Cursor> cursor = session_->ExecuteNative(sql, params, &affected);
  if (cursor) {
    while (cursor->HasRow()) cursor->Next();
    return 0;
  }
  return affected;
}

std::vector<std::vector<Variant>> NativeRows(Session& session, std::string_view sql,
                                             std::span<const Variant> params) {
  std::vector<std::vector<Variant>> rows;
  std::unique_ptr<Cursor> cursor = session.ExecuteNative(sql, params, nullptr);
  if (!cursor) return rows;
  for (; cursor->HasRow(); cursor->Next()) {
    std::vector<Variant> row;
    for (int i = 0; i < cursor->ColumnCount(); ++i) row.push_back(cursor->Value(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::vector<Variant>> EngineDatabase::Rows(std::string_view sql,
                                                       std::span<const Variant> params) {
  return NativeRows(*session_, sql, params);
}

Variant EngineDatabase::Scalar(std::string_view sql, std::initializer_list<Variant> params) {
  std::unique_ptr<Cursor> cursor =
      session_->ExecuteNative(sql, std::span<const Variant>(params.begin(), params.size()), nullptr);
  if (!cursor || !cursor->HasRow() || cursor->ColumnCount() == 0) return Variant();
  return cursor->Value(0);
}

std::int64_t EngineDatabase::LastInsertId() {
  Variant id = Scalar(server_ ? "SELECT lastval()" : "SELECT last_insert_rowid()");
  if (id.kind() == VarKind::Long) return id.AsLong();
  if (id.kind() == VarKind::Double) return static_cast<std::int64_t>(id.AsDouble());
  return 0;
}

}  // namespace ksmain::data
