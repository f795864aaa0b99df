// Connection, Recordset and DataLink over a pooled driver session.
//
// A Connection borrows one session from the pool while it is open; recordsets opened on it
// keep a cursor on that session. Closing the connection closes those cursors first, so a
// session never goes back to the pool (and on to another thread) with a statement of ours
// still running on it.
#include "data/datalink.h"

#include <algorithm>
#include <cctype>

#include "data/connection_string.h"
#include "data/driver.h"
#include "data/pool.h"
#include "data/odbc/server.h"
#include "data/sqlite/embedded.h"
#include "frame/vb_runtime.h"
#include "ksmain/error.h"

namespace ksmain::data {

struct ConnectionState {
  PooledSession pooled;
  std::vector<Recordset*> open_recordsets;
};

struct Recordset::Impl {
  std::shared_ptr<ConnectionState> state;
  std::unique_ptr<Cursor> cursor;
  bool bof = false;
  std::vector<std::string> lower_names;  // built on the first look-up by name
};

namespace {

[[noreturn]] void RaiseClosed() {
  throw VbError(err::kObjectClosed, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void RaiseOpen() {
  throw VbError(adoerr::kObjectOpen, "Operation is not allowed when the object is open.");
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool IsBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](unsigned char c) { return std::isspace(c) != 0; });
}

void Unregister(ConnectionState& state, Recordset* recordset) {
  auto& list = state.open_recordsets;
  list.erase(std::remove(list.begin(), list.end(), recordset), list.end());
}

}  // namespace

// ---- Connection ----------------------------------------------------------------------

Connection::Connection(sql::Dialect dialect) : dialect_(dialect) {}

Connection::~Connection() { Close(); }

void Connection::SetCommandTimeout(int seconds) {
  timeout_seconds_ = seconds < 0 ? 0 : seconds;
  if (IsOpen()) state_->pooled.session->SetTimeout(timeout_seconds_);
}

void Connection::Open(std::string_view connect, std::string_view, std::string_view, int) {
  if (IsOpen()) RaiseOpen();
  ConnectTarget target = ResolveConnectionString(connect);
  auto state = std::make_shared<ConnectionState>();
  Driver& driver = target.engine == ConnectTarget::Engine::Server ? ServerDriver() : EmbeddedDriver();
  state->pooled = AcquireSession(driver, std::move(target.path),
                                 std::move(target.identity), timeout_seconds_);
  state_ = std::move(state);
}

std::unique_ptr<Recordset> Connection::Execute(std::string_view command, Variant* records_affected,
                                               int) {
  if (!IsOpen()) RaiseClosed();
  if (IsBlank(command)) {
    throw VbError(err::kDatabaseError, "Command text was not set for the command object.");
  }
  std::int64_t affected = -1;
  std::unique_ptr<Cursor> cursor =
      state_->pooled.session->Execute(command, dialect_, &affected);
  if (records_affected != nullptr) {
    *records_affected = Variant(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(affected, INT32_MIN, INT32_MAX)));
  }
  auto recordset = std::make_unique<Recordset>();
  recordset->source_ = std::string(command);
  recordset->active_connection_ = this;
  if (cursor) recordset->Attach(state_, std::move(cursor));
  return recordset;
}

void Connection::Close() {
  if (!state_) return;
  std::shared_ptr<ConnectionState> state = std::move(state_);
  // Recordsets outlive nothing of ours: their cursors end here, before the session leaves.
  for (Recordset* recordset : std::vector<Recordset*>(state->open_recordsets)) {
    recordset->impl_->cursor.reset();
    recordset->impl_->state.reset();
  }
  state->open_recordsets.clear();
  ReleaseSession(std::move(state->pooled));
}

bool Connection::IsOpen() const { return state_ != nullptr && state_->pooled.session != nullptr; }

// ---- Recordset -----------------------------------------------------------------------

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}

Recordset::~Recordset() {
  if (impl_->state) Unregister(*impl_->state, this);
}

void Recordset::Attach(std::shared_ptr<ConnectionState> state, std::unique_ptr<Cursor> cursor) {
  impl_->state = std::move(state);
  impl_->cursor = std::move(cursor);
  impl_->bof = !impl_->cursor->HasRow();
  impl_->lower_names.clear();
  impl_->state->open_recordsets.push_back(this);
}

void Recordset::Run(Connection& connection, std::string_view source) {
  if (IsOpen()) RaiseOpen();
  if (!connection.IsOpen()) {
    throw VbError(3709,
                  "The connection cannot be used to perform this operation. It is either closed "
                  "or invalid in this context.");
  }
  if (IsBlank(source)) {
    throw VbError(err::kDatabaseError, "Command text was not set for the command object.");
  }
  active_connection_ = &connection;
  std::int64_t affected = -1;
  std::unique_ptr<Cursor> cursor =
      connection.state_->pooled.session->Execute(source, connection.dialect_, &affected);
  if (cursor) Attach(connection.state_, std::move(cursor));
}

void Recordset::Open(std::string_view source, Connection& connection, int, int, int) {
  source_ = std::string(source);
  Run(connection, source);
}

void Recordset::SetSource(std::string_view source) {
  if (IsOpen()) RaiseOpen();
  source_ = std::string(source);
}

void Recordset::SetActiveConnection(Connection& connection) {
  if (IsOpen()) RaiseOpen();
  active_connection_ = &connection;
}

void Recordset::SetCursorType(int cursor_type) {
  if (IsOpen()) RaiseOpen();
  cursor_type_ = cursor_type;
}

void Recordset::SetLockType(int lock_type) {
  if (IsOpen()) RaiseOpen();
  lock_type_ = lock_type;
}

void Recordset::Open(int) {
  if (active_connection_ == nullptr) {
    throw VbError(3709,
                  "The connection cannot be used to perform this operation. It is either closed "
                  "or invalid in this context.");
  }
  Run(*active_connection_, source_);
}

bool Recordset::IsOpen() const { return impl_->cursor != nullptr; }

void Recordset::RequireOpen() const {
  if (!IsOpen()) RaiseClosed();
}

void Recordset::RequireRecord() const {
  RequireOpen();
  if (!impl_->cursor->HasRow()) {
    throw VbError(adoerr::kNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted. Requested "
                  "operation requires a current record.");
  }
}

bool Recordset::AtBof() const {
  RequireOpen();
  return impl_->bof;
}

bool Recordset::AtEof() const {
  RequireOpen();
  return !impl_->cursor->HasRow();
}

int Recordset::FieldCount() const {
  RequireOpen();
  return impl_->cursor->ColumnCount();
}

std::string Recordset::FieldName(int ordinal) const {
  RequireOpen();
  if (ordinal < 0 || ordinal >= impl_->cursor->ColumnCount()) {
    throw VbError(err::kItemNotFound,
                  "Item cannot be found in the collection corresponding to the requested name "
                  "or ordinal.");
  }
  return impl_->cursor->ColumnName(ordinal);
}

int Recordset::Ordinal(std::string_view name) const {
  RequireOpen();
  auto& names = impl_->lower_names;
  if (names.empty()) {
    const int count = impl_->cursor->ColumnCount();
    names.reserve(count);
    for (int i = 0; i < count; ++i) names.push_back(Lower(impl_->cursor->ColumnName(i)));
  }
  // Field names compare without regard to case; the first of equal names wins, as in the
  // platform's Fields collection.
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& candidate = names[i];
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < name.size() && same; ++k) {
      same = candidate[k] == static_cast<char>(std::tolower(static_cast<unsigned char>(name[k])));
    }
    if (same) return static_cast<int>(i);
  }
  throw VbError(err::kItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal.");
}

Variant Recordset::Field(std::string_view name) const {
  int ordinal = Ordinal(name);
  RequireRecord();
  return impl_->cursor->Value(ordinal);
}

Variant Recordset::Field(int ordinal) const {
  FieldName(ordinal);  // range check
  RequireRecord();
  return impl_->cursor->Value(ordinal);
}

void Recordset::MoveNext() {
  RequireRecord();
  impl_->bof = false;
  impl_->cursor->Next();
}

Variant Recordset::GetRows(int rows) {
  RequireRecord();
  const int fields = impl_->cursor->ColumnCount();
  std::vector<std::vector<Variant>> records;
  while (impl_->cursor->HasRow() && (rows < 0 || static_cast<int>(records.size()) < rows)) {
    std::vector<Variant> record;
    record.reserve(fields);
    for (int f = 0; f < fields; ++f) record.push_back(impl_->cursor->Value(f));
    records.push_back(std::move(record));
    impl_->bof = false;
    impl_->cursor->Next();
  }
  VarArray array = VarArray::Grid(fields - 1, static_cast<std::int32_t>(records.size()) - 1);
  for (std::size_t r = 0; r < records.size(); ++r) {
    for (int f = 0; f < fields; ++f) {
      array.at({f, static_cast<std::int32_t>(r)}) = std::move(records[r][f]);
    }
  }
  return Variant(std::move(array));
}

void Recordset::Close() {
  RequireOpen();
  impl_->cursor.reset();
  if (impl_->state) Unregister(*impl_->state, this);
  impl_->state.reset();
}

// ---- DataLink ------------------------------------------------------------------------

DataLink::DataLink(const Variant& strconnect, sql::Dialect dialect) : connection_(dialect) {
  connection_.SetCommandTimeout(kCommandTimeout);
  connection_.Open(vb::CStr(strconnect), {}, {}, -1);
}

DataLink::~DataLink() = default;

Recordset& DataLink::Query(std::string_view sql) {
  recordset_.Open(sql, connection_, -1, -1, -1);
  return recordset_;
}

void DataLink::Run(std::string_view sql) { recordset_.Open(sql, connection_, -1, -1, -1); }

void DataLink::Close() {
  if (recordset_.IsOpen()) recordset_.Close();
  connection_.Close();
}

}  // namespace ksmain::data
