// Connection, Recordset and DataLink over a pooled driver session.
//
// A Connection borrows one session from the pool while it is open; recordsets opened on it
// keep a cursor on that session. Closing the connection closes those cursors first, so a
// session never goes back to the pool (and on to another thread) with a statement of ours
// still running on it.
//
// A member that calls a sibling once per row (attendance flags, sponsor levels, category
// counts) would pay for each call's link a look at the file, a pool round trip and a read
// transaction of its own. Inside a member call, a sibling's link on the database its
// caller already has open reads through the caller's session instead: the file's identity
// was checked when the caller opened it, and the caller's session is the one this thread
// is using anyway. A link that writes never does: it takes a session of its own, as
// before, and from then on nothing is lent on this thread, so no read can come from a
// snapshot older than the write.
#include "data/datalink.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "data/connection_string.h"
#include "data/driver.h"
#include "data/pool.h"
#include "data/thread_state.h"
#include "data/odbc/server.h"
#include "data/sqlite/embedded.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/error.h"

namespace ksmain::data {

// A session used by one connection, or lent by it to sibling links of the same thread; it
// goes back to the pool when the last of them closes.
struct SharedSession {
  PooledSession pooled;
  SharedSession() = default;
  SharedSession(const SharedSession&) = delete;
  SharedSession& operator=(const SharedSession&) = delete;
  ~SharedSession() {
    if (pooled.session) ReleaseSession(std::move(pooled));
  }
};

struct ConnectionState {
  // The session a connection opens for itself, in the state's own allocation. Lent to a
  // sibling's link, it is shared through the state's own ownership.
  SharedSession own;
  // The session statements run on: `own`, or the one `shared` holds. Null once closed.
  SharedSession* current = nullptr;
  // A session of another's: the lender's while borrowed, or one of its own taken for a
  // write after borrowing.
  std::shared_ptr<SharedSession> shared;
  // While borrowed: the connection text, for a session of its own should it write, and
  // the lender's session, kept for the recordsets still open on it after such a switch.
  bool borrowed = false;
  std::string connect;
  std::shared_ptr<SharedSession> lent;
  // The recordsets open on it: nearly always one, kept without an allocation.
  Recordset* first_open = nullptr;
  std::vector<Recordset*> more_open;
  // Owned by its connection alone (see MakeUnsharedState).
  bool unshared = false;

  Session& session() const { return *current->pooled.session; }
};

namespace {

// The state of a connection whose session nobody else can come to share (it lends nothing
// and borrows nothing): its connection owns it alone, so it is held without a control block
// or a count to take and drop, and Close destroys it (DestroyUnsharedState).
std::shared_ptr<ConnectionState> MakeUnsharedState(SharedSession& own) {
  auto* state = new (SpareBlock<ConnectionState>::Take()) ConnectionState;
  state->unshared = true;
  state->own.pooled = std::move(own.pooled);
  state->current = &state->own;
  return std::shared_ptr<ConnectionState>(std::shared_ptr<ConnectionState>(), state);
}

void DestroyUnsharedState(ConnectionState* state) noexcept {
  state->~ConnectionState();
  SpareBlock<ConnectionState>::Give(state);
}

[[noreturn]] void RaiseClosed() {
  throw VbError(err::kObjectClosed, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void RaiseOpen() {
  throw VbError(adoerr::kObjectOpen, "Operation is not allowed when the object is open.");
}

[[noreturn]] void RaiseNoRecord() {
  throw VbError(adoerr::kNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested "
                "operation requires a current record.");
}

[[noreturn]] void RaiseNoSuchField() {
  throw VbError(err::kItemNotFound,
                "Item cannot be found in the collection corresponding to the requested name "
                "or ordinal.");
}

// The C locale's blanks, as std::isspace has them, without a call per character.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsBlank(std::string_view s) {
  for (char c : s) {
    if (!IsSpace(c)) return false;
  }
  return true;
}

// Sessions that member calls on this thread have open and may lend to the links of the
// siblings they call (a deeper call). Weak: a lender that closes is gone from here.
struct Lender {
  int depth;
  // What keeps the session alive (its connection's state, or the session itself), watched
  // without a share of it; and the session, its database the location it was pooled for.
  // Kept apart so that lending needs no shared_ptr of the session's own made for the
  // occasion.
  std::weak_ptr<void> owner;
  SharedSession* session;

  std::shared_ptr<SharedSession> Lock() const {
    std::shared_ptr<void> alive = owner.lock();
    if (!alive) return nullptr;
    return std::shared_ptr<SharedSession>(std::move(alive), session);
  }
};
// Made on the thread's first lending; until then, and on a thread that never lends, every
// look is one read of a plain pointer.
using LenderList = ThreadState<std::vector<Lender>>;

std::vector<Lender>& Lenders() { return LenderList::Get(); }

bool AnyLenders() {
  const std::vector<Lender>* list = LenderList::Find();
  return list != nullptr && !list->empty();
}

void EraseClosedLenders() {
  std::erase_if(Lenders(), [](const Lender& lender) { return lender.owner.expired(); });
}

// Run at every open and close; a thread that lends nothing pays one pointer read.
inline void ForgetClosedLenders() {
  if (AnyLenders()) EraseClosedLenders();
}

// A session a member call of this thread has open on `connect`'s database, when this link
// is opened at call depth `depth` by a sibling it calls.
std::shared_ptr<SharedSession> FindLender(std::string_view connect, int depth) {
  ForgetClosedLenders();
  if (!AnyLenders() || depth < 2) return nullptr;
  const std::string* path = RecentPath(connect);
  std::optional<std::string> cached;
  if (path == nullptr) {
    cached = CachedPath(connect);
    if (!cached) return nullptr;
    path = &*cached;
  }
  const std::vector<Lender>& list = *LenderList::Find();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->depth >= depth) continue;
    std::shared_ptr<SharedSession> session = it->Lock();
    if (!session || LocationPath(session->pooled) != *path) continue;
    // A session that failed, or holds a transaction open, is not lent.
    if (session->pooled.session->Reusable()) return session;
  }
  return nullptr;
}

// Acquires a session for `connect` into `into`, for a link opened at call depth `depth`;
// true when the link lends it to the links of the siblings it calls (see Lend).
bool OpenInto(SharedSession& into, std::string_view connect, int timeout_seconds, int depth) {
  const OpenTarget resolved = ResolveOpenTarget(connect);
  const ConnectTarget& target = resolved.target;
  const bool embedded = target.engine != ConnectTarget::Engine::Server;
  Driver& driver = embedded ? EmbeddedDriver() : ServerDriver();
  // `resolved` stays valid until this thread resolves again, which acquiring does not do.
  into.pooled =
      AcquireSession(driver, target.path, target.identity, timeout_seconds, resolved.pooled_at);
  // Only embedded sessions are lent: a server driver may not run a second statement while
  // the first still has rows to give. Links opened outside any member lend nothing.
  return embedded && depth >= 1;
}

// `owner` keeps `session` alive; watched straight from the owner's shared_ptr, without a
// converted copy of it.
void Lend(std::weak_ptr<void> owner, SharedSession* session, int depth) {
  Lenders().push_back(Lender{depth, std::move(owner), session});
}

std::shared_ptr<SharedSession> OpenShared(std::string_view connect, int timeout_seconds) {
  auto shared = std::make_shared<SharedSession>();
  const int depth = MemberCall::Depth();
  if (OpenInto(*shared, connect, timeout_seconds, depth)) Lend(shared, shared.get(), depth);
  return shared;
}

// Whether a statement may have to take a session of its own or stop lending (see
// PrepareToWrite): not on a connection that borrows nothing while nothing is lent.
bool MayPrepareToWrite(const ConnectionState& state) { return state.borrowed || AnyLenders(); }

// Whether a statement only reads: a query, which is all a borrowed session runs.
bool ReadsOnly(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (IsSpace(text[i]) || text[i] == '(')) ++i;
  constexpr std::string_view kSelect = "select";
  if (text.size() - i < kSelect.size()) return false;
  for (std::size_t k = 0; k < kSelect.size(); ++k) {
    // ASCII letters only fold: "select" has no other.
    if ((text[i + k] | 0x20) != kSelect[k]) return false;
  }
  const std::size_t end = i + kSelect.size();
  if (end == text.size()) return true;
  const char next = text[end];
  const bool word = (next >= '0' && next <= '9') || ((next | 0x20) >= 'a' && (next | 0x20) <= 'z') ||
                    next == '_';
  return !word;
}

// Before a statement that may write: a borrowed connection takes a session of its own,
// and no session is lent from now on but the writer's (which sees its own write).
void PrepareToWrite(ConnectionState& state, int timeout_seconds) {
  if (state.borrowed) {
    std::shared_ptr<SharedSession> own = OpenShared(state.connect, timeout_seconds);
    state.lent = std::move(state.shared);
    state.shared = std::move(own);
    state.current = state.shared.get();
    state.borrowed = false;
  }
  if (!AnyLenders()) return;
  std::erase_if(Lenders(), [&](const Lender& lender) {
    return lender.owner.expired() || lender.session != state.current;
  });
}

void Register(ConnectionState& state, Recordset* recordset) {
  if (state.first_open == nullptr) {
    state.first_open = recordset;
  } else {
    state.more_open.push_back(recordset);
  }
}

void Unregister(ConnectionState& state, Recordset* recordset) {
  if (state.first_open == recordset) {
    state.first_open = nullptr;
    return;
  }
  auto& list = state.more_open;
  list.erase(std::remove(list.begin(), list.end(), recordset), list.end());
}

}  // namespace

// ---- Connection ----------------------------------------------------------------------

Connection::Connection(sql::Dialect dialect) : dialect_(dialect) {}

Connection::~Connection() { Close(); }

void Connection::SetCommandTimeout(int seconds) {
  timeout_seconds_ = seconds < 0 ? 0 : seconds;
  // A borrowed session keeps its lender's time-out.
  if (IsOpen() && !state_->borrowed) state_->session().SetTimeout(timeout_seconds_);
}

void Connection::Open(std::string_view connect, std::string_view, std::string_view, int) {
  if (IsOpen()) RaiseOpen();
  const int depth = MemberCall::Depth();
  if (std::shared_ptr<SharedSession> lender = FindLender(connect, depth)) {
    auto state = std::allocate_shared<ConnectionState>(SpareAllocator<ConnectionState>());
    state->shared = std::move(lender);
    state->current = state->shared.get();
    state->borrowed = true;
    state->connect = std::string(connect);
    state_ = std::move(state);
    return;
  }
  // Goes back to the pool from here should anything below fail.
  SharedSession own;
  if (!OpenInto(own, connect, timeout_seconds_, depth)) {
    state_ = MakeUnsharedState(own);
    return;
  }
  auto state = std::allocate_shared<ConnectionState>(SpareAllocator<ConnectionState>());
  state->own.pooled = std::move(own.pooled);
  state->current = &state->own;
  // A sibling's link that borrows it keeps the whole state alive until it closes.
  Lend(state, &state->own, depth);
  state_ = std::move(state);
}

std::unique_ptr<Recordset> Connection::Execute(std::string_view command, Variant* records_affected,
                                               int) {
  if (!IsOpen()) RaiseClosed();
  if (IsBlank(command)) {
    throw VbError(err::kDatabaseError, "Command text was not set for the command object.");
  }
  if (MayPrepareToWrite(*state_) && !ReadsOnly(command)) PrepareToWrite(*state_, timeout_seconds_);
  std::int64_t affected = -1;
  std::unique_ptr<Cursor> cursor = state_->session().Execute(command, dialect_, &affected);
  if (records_affected != nullptr) {
    *records_affected = Variant(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(affected, INT32_MIN, INT32_MAX)));
  }
  auto recordset = std::make_unique<Recordset>();
  recordset->source_ = command;
  recordset->active_connection_ = this;
  if (cursor) recordset->Attach(*state_, std::move(cursor));
  return recordset;
}

void Connection::Close() {
  if (!state_) return;
  std::shared_ptr<ConnectionState> state = std::move(state_);
  // Recordsets outlive nothing of ours: their cursors end here, before the session leaves.
  Recordset* first = std::exchange(state->first_open, nullptr);
  std::vector<Recordset*> more = std::move(state->more_open);
  state->more_open.clear();
  auto detach = [](Recordset* recordset) {
    recordset->cursor_.reset();
    recordset->state_ = nullptr;
  };
  if (first != nullptr) detach(first);
  for (Recordset* recordset : more) detach(recordset);
  // The session goes back to the pool unless a sibling's link still reads through it.
  state->current = nullptr;
  state->shared.reset();
  state->lent.reset();
  if (state->unshared) DestroyUnsharedState(state.get());
  state.reset();
  ForgetClosedLenders();
}

bool Connection::IsOpen() const { return state_ != nullptr && state_->current != nullptr; }

// ---- Recordset -----------------------------------------------------------------------

SourceText& SourceText::operator=(std::string_view text) {
  // The text may be a view of this one's own.
  if (text.size() <= kShort) {
    if (!text.empty()) std::memmove(short_, text.data(), text.size());
    long_.reset();
  } else {
    std::unique_ptr<char[]> copy(new char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    long_ = std::move(copy);
  }
  size_ = text.size();
  return *this;
}

Recordset::Recordset() = default;

Recordset::~Recordset() {
  if (state_) Unregister(*state_, this);
}

void Recordset::Attach(ConnectionState& state, std::unique_ptr<Cursor> cursor) {
  state_ = &state;
  cursor_ = std::move(cursor);
  bof_ = !cursor_->HasRow();
  Register(*state_, this);
}

void Recordset::Run(Connection& connection, std::string_view source, std::int64_t row_cap) {
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
  ConnectionState& state = *connection.state_;
  if (MayPrepareToWrite(state) && !ReadsOnly(source)) {
    PrepareToWrite(state, connection.timeout_seconds_);
  }
  std::int64_t affected = -1;
  std::unique_ptr<Cursor> cursor =
      row_cap >= 0 ? state.session().ExecuteCapped(source, connection.dialect_, row_cap)
                   : state.session().Execute(source, connection.dialect_, &affected);
  if (cursor) Attach(state, std::move(cursor));
}

void Recordset::Open(std::string_view source, Connection& connection, int, int, int) {
  source_ = source;
  Run(connection, source);
}

void Recordset::SetSource(std::string_view source) {
  if (IsOpen()) RaiseOpen();
  source_ = source;
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
  Run(*active_connection_, source_.view());
}

bool Recordset::IsOpen() const { return cursor_ != nullptr; }

void Recordset::RequireOpen() const {
  if (!IsOpen()) RaiseClosed();
}

void Recordset::RequireRecord() const {
  RequireOpen();
  if (!cursor_->HasRow()) RaiseNoRecord();
}

bool Recordset::AtBof() const {
  RequireOpen();
  return bof_;
}

bool Recordset::AtEof() const {
  RequireOpen();
  return !cursor_->HasRow();
}

int Recordset::FieldCount() const {
  RequireOpen();
  return cursor_->ColumnCount();
}

std::string Recordset::FieldName(int ordinal) const {
  RequireOpen();
  if (ordinal < 0 || ordinal >= cursor_->ColumnCount()) RaiseNoSuchField();
  return cursor_->ColumnName(ordinal);
}

// Field names compare without regard to case; the first of equal names wins, as in the
// platform's Fields collection.
int Recordset::Ordinal(std::string_view name) const {
  RequireOpen();
  const int ordinal = cursor_->FindColumn(name);
  if (ordinal < 0) RaiseNoSuchField();
  return ordinal;
}

// Read for every field of every record: Ordinal's and RequireRecord's checks, in that
// order, on the cursor looked up once.
Variant Recordset::Field(std::string_view name) const {
  const Cursor* cursor = cursor_.get();
  if (cursor == nullptr) RaiseClosed();
  const int ordinal = cursor->FindColumn(name);
  if (ordinal < 0) RaiseNoSuchField();
  if (!cursor->HasRow()) RaiseNoRecord();
  return cursor->Value(ordinal);
}

Variant Recordset::FieldAt(int index) const { return Field(index); }

// Read once per mapped field of every row: the checks of RequireOpen, a range check and
// RequireRecord, in that order, on the cursor looked up once.
Variant Recordset::Field(int ordinal) const {
  const Cursor* cursor = cursor_.get();
  if (cursor == nullptr) RaiseClosed();
  if (ordinal < 0 || ordinal >= cursor->ColumnCount()) RaiseNoSuchField();
  if (!cursor->HasRow()) RaiseNoRecord();
  return cursor->Value(ordinal);
}

void Recordset::MoveNext() {
  RequireRecord();
  bof_ = false;
  cursor_->Next();
}

std::int64_t Recordset::CountToEnd() {
  RequireOpen();
  if (!cursor_->HasRow()) return 0;
  bof_ = false;
  return cursor_->CountToEnd();
}

Variant Recordset::GetRows(int rows) {
  RequireRecord();
  const int fields = cursor_->ColumnCount();
  std::vector<std::vector<Variant>> records;
  while (cursor_->HasRow() && (rows < 0 || static_cast<int>(records.size()) < rows)) {
    std::vector<Variant> record;
    record.reserve(fields);
    for (int f = 0; f < fields; ++f) record.push_back(cursor_->Value(f));
    records.push_back(std::move(record));
    bof_ = false;
    cursor_->Next();
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
  cursor_.reset();
  if (state_) Unregister(*state_, this);
  state_ = nullptr;
}

// ---- DataLink ------------------------------------------------------------------------

DataLink::DataLink(const Variant& strconnect, sql::Dialect dialect) : connection_(dialect) {
  connection_.SetCommandTimeout(kCommandTimeout);
  // A text is its own CStr; only other kinds are converted (and Null refused).
  if (strconnect.kind() == VarKind::String) {
    connection_.Open(strconnect.AsString(), {}, {}, -1);
  } else {
    connection_.Open(vb::CStr(strconnect), {}, {}, -1);
  }
}

DataLink::~DataLink() = default;

Recordset& DataLink::Query(std::string_view sql) {
  recordset_.Open(sql, connection_, -1, -1, -1);
  return recordset_;
}

Recordset& DataLink::Query(std::string_view sql, std::int64_t row_cap) {
  recordset_.source_ = sql;
  recordset_.Run(connection_, sql, row_cap);
  return recordset_;
}

void DataLink::Run(std::string_view sql) { recordset_.Open(sql, connection_, -1, -1, -1); }

void DataLink::Close() {
  if (recordset_.IsOpen()) recordset_.Close();
  connection_.Close();
}

}  // namespace ksmain::data
