// Running statements on an embedded database: translation, prepared-statement reuse (one
// statement per shape, its literal values bound as parameters),
// writes in their own immediate transaction, and the database's stored procedures.
#include "data/sqlite/sqlite_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "data/pool.h"
#include "data/sqlite/functions.h"
#include "data/sqlite/schema_catalogs.h"
#include "data/statement_limit.h"
#include "data/sqlite/sqlite_values.h"
#include "ksmain/error.h"

namespace ksmain::data::sqlite {
namespace {

// Prepared statements kept per connection. Members send a few dozen distinct texts; the
// bound only keeps a page that builds texts from free values from growing without end.
constexpr std::size_t kMaxCachedStatements = 128;

// The table the catalogue database keeps its procedures in.
constexpr std::string_view kProcedureTable = "ks_procedures";

bool IsBlankTail(const char* tail) {
  for (; *tail != '\0'; ++tail) {
    unsigned char c = static_cast<unsigned char>(*tail);
    if (!std::isspace(c) && c != ';') return false;
  }
  return true;
}

std::uint64_t Fnv1a(std::uint64_t hash, std::string_view text) {
  for (unsigned char c : text) {
    hash ^= static_cast<unsigned char>(std::tolower(c));
    hash *= 1099511628211ULL;
  }
  hash ^= 0xff;  // separator, so ("ab","c") and ("a","bc") differ
  hash *= 1099511628211ULL;
  return hash;
}

// Equal values of the same kind; numbers compared by their bits, so 0 and -0 differ.
bool SameValue(const sql::BoundValue& a, const sql::BoundValue& b) {
  const auto* x = std::get_if<double>(&a);
  const auto* y = std::get_if<double>(&b);
  if (x != nullptr && y != nullptr) return std::memcmp(x, y, sizeof(double)) == 0;
  return a == b;
}

// The main file's data version. A null schema name stands for "main" and spares the engine
// looking the name up among the attached databases on every statement.
bool ReadDataVersion(sqlite3* db, unsigned int* version) {
  return sqlite3_file_control(db, nullptr, SQLITE_FCNTL_DATA_VERSION, version) == SQLITE_OK;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// One statement's rows. Column kinds come from the translation when it knows them, else
// from the column's declared type, else from each stored value.
class SqliteCursor final : public Cursor {
 public:
  // `capped`: the statement runs `bound`'s text cut short after some rows; counting to
  // the end then asks the engine for the whole result's size.
  SqliteCursor(SqliteSession& session, SqliteSession::Lease lease,
               std::shared_ptr<SqliteSession::Columns> columns,
               std::shared_ptr<const sql::BoundStatement> capped = nullptr)
      : session_(session), lease_(lease), columns_(std::move(columns)), capped_(std::move(capped)) {}
  ~SqliteCursor() override { session_.Return(lease_, &columns_); }
  // A query's cursor is made and freed once per call: the thread keeps the memory.
  static void* operator new(std::size_t size) {
    return size == sizeof(SqliteCursor) ? SpareBlock<SqliteCursor>::Take() : ::operator new(size);
  }
  static void operator delete(void* block, std::size_t size) noexcept {
    if (size == sizeof(SqliteCursor)) {
      SpareBlock<SqliteCursor>::Give(block);
    } else {
      ::operator delete(block);
    }
  }

  int ColumnCount() const override { return static_cast<int>(columns_->names.size()); }
  const std::string& ColumnName(int column) const override { return columns_->names.at(column); }
  // The names asked for are kept with the statement's columns, so the calls after the
  // first resolve every field with one exact comparison too.
  int FindColumn(std::string_view name) const override {
    return columns_->asked.Find(name, next_asked_,
                                [this](std::string_view n) { return ScanColumns(n); });
  }
  bool HasRow() const override { return has_row_; }
  Variant Value(int column) const override {
    return ReadColumn(lease_.stmt, column, columns_->types.at(column));
  }
  void Next() override {
    if (has_row_) ++rows_passed_;
    int rc = sqlite3_step(lease_.stmt);
    has_row_ = rc == SQLITE_ROW;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) session_.Raise(rc);
  }
  // A capped statement is counted by a second one over the whole result, run while this
  // one still holds its read transaction, so both see the same rows.
  std::int64_t CountToEnd() override {
    if (!capped_ || !has_row_) return Cursor::CountToEnd();
    const std::int64_t total = session_.CountRows(capped_);
    has_row_ = false;
    return std::max<std::int64_t>(total - rows_passed_, 1);
  }

 private:
  SqliteSession& session_;
  SqliteSession::Lease lease_;
  std::shared_ptr<SqliteSession::Columns> columns_;
  std::shared_ptr<const sql::BoundStatement> capped_;
  std::int64_t rows_passed_ = 0;
  mutable std::size_t next_asked_ = 0;
  bool has_row_ = false;
};

// Opens a cursor on a prepared statement and steps to its first row. The cursor owns the
// lease from the start, so a failing first step still returns the statement.
std::unique_ptr<Cursor> OpenCursor(SqliteSession& session, SqliteSession::Lease lease,
                                   const std::shared_ptr<const sql::Translation>& translation,
                                   std::shared_ptr<const sql::BoundStatement> capped = nullptr) {
  std::unique_ptr<SqliteCursor> cursor;
  try {
    cursor = std::make_unique<SqliteCursor>(session, lease, session.ColumnsOf(lease, translation),
                                            std::move(capped));
  } catch (...) {
    session.Return(lease);
    throw;
  }
  cursor->Next();
  return cursor;
}

}  // namespace

SqliteSession::SqliteSession(sqlite3* db, std::string path, int timeout_seconds)
    : db_(db), path_(std::move(path)) {
  try {
    sqlite3_extended_result_codes(db_, 1);
    // The printer quotes every odd name with "..."; with the engine's fallback that reads a
    // double-quoted name it cannot find as a text, a misspelt column would quietly become a
    // constant instead of failing the statement.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    SetTimeout(timeout_seconds);
    // Every few thousand engine steps: has the running statement outlived its limit?
    sqlite3_progress_handler(
        db_, 4096,
        [](void* self) -> int {
          const auto deadline = static_cast<SqliteSession*>(self)->deadline_;
          return deadline != Clock::time_point::max() && Clock::now() > deadline ? 1 : 0;
        },
        this);
    int rc = sqlite3_prepare_v3(db_, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                &schema_version_stmt_, nullptr);
    if (rc != SQLITE_OK) Raise(rc);
    // Neither source engine enforced the relationships the members rely on; rows referring
    // to deleted keys are expected (inner joins drop them).
    rc = sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, 0, nullptr);
    if (rc != SQLITE_OK) Raise(rc);
    RegisterEngineFunctions(db_);
    // The first read of the file: a file that is not a database fails the open here rather
    // than the first statement of the first member. The engine's parse of its schema, the
    // schema version and the schema text all come from this one read transaction.
    RefreshCatalog();
    // WAL lets readers run beside a writer; NORMAL sync is safe with WAL (a crash can lose
    // the last commits, never corrupt the file) and keeps each member's write cheap.
    // The read above has opened the log of a file in WAL mode (the engine reads a file
    // with a log beside it through that log), and a session keeps the same log files open
    // for its whole life, so these identities stay true while it lives. With a log open
    // the engine already is in WAL mode; any other file is switched here, before anything
    // writes to it.
    wal_ = IdOf(path_ + "-wal");
    if (!wal_.known) {
      rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_READONLY) Raise(rc);
      wal_ = IdOf(path_ + "-wal");
    }
    ExecSimple("PRAGMA synchronous=NORMAL");
    shm_ = IdOf(path_ + "-shm");
  } catch (...) {
    if (schema_version_stmt_ != nullptr) sqlite3_finalize(schema_version_stmt_);
    sqlite3_close_v2(db_);
    throw;
  }
}

SqliteSession::~SqliteSession() {
  ClearStatements();
  sqlite3_finalize(schema_version_stmt_);
  ForgetMovedFile();
}

SqliteSession::FileId SqliteSession::IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return FileId{};
  return FileId{true, st.st_dev, st.st_ino};
}

// Closes the handle. When the file was moved or replaced meanwhile (a restored backup
// renamed over the path), the engine neither writes its log back nor removes it on close,
// and the file that now has the path would replay that log as its own. So the log goes
// into the old file here (which it belongs to, wherever that file now is), and the -wal
// and -shm at the path are removed while they are still the ones this session used: a
// log made since for the new file has another identity and stays.
void SqliteSession::ForgetMovedFile() noexcept {
  int moved = 0;
  if (wal_.known &&
      sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved) {
    sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  } else {
    moved = 0;
  }
  sqlite3_close_v2(db_);
  if (moved == 0) return;
  for (auto [suffix, id] : {std::pair{"-wal", wal_}, std::pair{"-shm", shm_}}) {
    const std::string path = path_ + suffix;
    const FileId now = IdOf(path);
    if (now.known && id.known && now.device == id.device && now.inode == id.inode) {
      ::unlink(path.c_str());
    }
  }
}

void SqliteSession::StartClock() {
  const int limit = StatementTimeLimit();
  deadline_ = limit > 0 ? Clock::now() + std::chrono::seconds(limit) : Clock::time_point::max();
}

void SqliteSession::SetTimeout(int seconds) {
  if (const int limit = StatementTimeLimit(); limit > 0) seconds = std::min(seconds, limit);
  const int timeout_ms = seconds <= 0 ? 0 : std::min(seconds, 2'000'000) * 1000;
  // The engine's wait is always timeout_ms_ (none at first, as a new handle has), so the
  // same time-out again, as every pooled link asks for, changes nothing.
  if (timeout_ms == timeout_ms_) return;
  timeout_ms_ = timeout_ms;
  sqlite3_busy_timeout(db_, timeout_ms_);
}

namespace {

// Databases whose log a full disk left holding its space. Writes are cheap to check
// (one atomic load); only after a full disk does a commit look the path up.
struct PendingLogs {
  std::atomic<bool> any{false};
  std::mutex mutex;
  std::unordered_set<std::string> paths;
};

PendingLogs& ThePendingLogs() {
  static PendingLogs pending;
  return pending;
}

}  // namespace

bool SqliteSession::TruncateLog() noexcept {
  sqlite3_busy_timeout(db_, 0);
  int log_frames = -1;
  int done_frames = -1;
  const int rc = sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_TRUNCATE, &log_frames,
                                           &done_frames);
  sqlite3_busy_timeout(db_, timeout_ms_);
  return rc == SQLITE_OK && log_frames == 0;
}

// A full disk: the session is not pooled again (the engine may have left it half-way),
// and the log, which has kept every page since the last checkpoint, is written back and
// truncated so that its space is free again. Without space the write-back fails too; then
// the next commit on this database, once space is back, does it.
void SqliteSession::AfterFullDisk() noexcept {
  broken_ = true;
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  PendingLogs& pending = ThePendingLogs();
  try {
    std::lock_guard lock(pending.mutex);
    if (TruncateLog()) {
      pending.paths.erase(path_);
    } else {
      pending.paths.insert(path_);
    }
    pending.any = !pending.paths.empty();
  } catch (...) {
  }
}

void SqliteSession::AfterCommit() noexcept {
  PendingLogs& pending = ThePendingLogs();
  if (!pending.any.load(std::memory_order_relaxed)) return;
  try {
    std::lock_guard lock(pending.mutex);
    if (pending.paths.count(path_) == 0 || !TruncateLog()) return;
    pending.paths.erase(path_);
    pending.any = !pending.paths.empty();
  } catch (...) {
  }
}

bool SqliteSession::Reusable() const { return !broken_ && sqlite3_get_autocommit(db_) != 0; }

void SqliteSession::Raise(int rc) {
  std::string message = sqlite3_errmsg(db_);
  switch (rc & 0xff) {
    case SQLITE_INTERRUPT:
      message = "the statement ran longer than " + std::to_string(StatementTimeLimit()) + " seconds";
      break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
      broken_ = true;
      break;
    case SQLITE_FULL:
      AfterFullDisk();
      break;
    default:
      break;
  }
  throw VbError(err::kDatabaseError, std::move(message));
}

void SqliteSession::ExecSimple(const char* sql) {
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Raise(rc);
}

std::shared_ptr<SqliteSession::Columns> SqliteSession::ColumnsOf(
    const Lease& lease, const std::shared_ptr<const sql::Translation>& translation) {
  sqlite3_stmt* stmt = lease.stmt;
  const int count = sqlite3_column_count(stmt);
  // Only a translation's columns are kept: they change with the catalogue, which clears
  // the cache when it changes. The engine's own names for a native statement could change
  // under it with another connection's schema change, so those are read at every open.
  if (lease.entry != nullptr && translation) {
    std::shared_ptr<Columns>& kept = lease.entry->columns;
    if (kept && kept->translation == translation && static_cast<int>(kept->names.size()) == count) {
      return std::move(kept);
    }
  }
  auto columns = std::make_shared<Columns>();
  columns->translation = translation;
  const bool named_by_translation =
      translation && static_cast<int>(translation->columns.size()) == count;
  columns->names.reserve(count);
  columns->types.reserve(count);
  for (int i = 0; i < count; ++i) {
    sql::ColumnType type = sql::ColumnType::Unknown;
    if (named_by_translation) {
      columns->names.push_back(translation->columns[i].name);
      type = translation->columns[i].type;
    } else {
      const char* name = sqlite3_column_name(stmt, i);
      columns->names.emplace_back(name != nullptr ? name : "");
    }
    if (type == sql::ColumnType::Unknown) {
      if (const char* declared = sqlite3_column_decltype(stmt, i)) {
        type = sql::ColumnTypeFromDeclared(declared);
      }
    }
    columns->types.push_back(type);
  }
  return columns;
}

SqliteSession::Lease SqliteSession::Lend(CachedStatement& entry) {
  entry.in_use = true;
  entry.last_use = ++use_clock_;
  return Lease{entry.stmt, &entry, cache_epoch_};
}

SqliteSession::Lease SqliteSession::Prepare(std::string_view text) {
  auto it = statements_.find(text);
  if (it != statements_.end() && !it->second.in_use) return Lend(it->second);
  std::string key(text);
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v3(db_, key.c_str(), static_cast<int>(key.size()) + 1,
                              SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) Raise(rc);
  if (stmt == nullptr) {
    throw VbError(err::kDatabaseError, "Command text was not set for the command object.");
  }
  if (tail != nullptr && !IsBlankTail(tail)) {
    sqlite3_finalize(stmt);
    throw VbError(err::kDatabaseError, "Characters found after end of SQL statement.");
  }
  if (it != statements_.end()) return Lease{stmt};  // the cached one is busy
  if (statements_.size() >= kMaxCachedStatements) {
    auto victim = statements_.end();
    for (auto e = statements_.begin(); e != statements_.end(); ++e) {
      if (!e->second.in_use && (victim == statements_.end() ||
                                e->second.last_use < victim->second.last_use)) {
        victim = e;
      }
    }
    if (victim == statements_.end()) return Lease{stmt};
    sqlite3_finalize(victim->second.stmt);
    if (victim->second.translation_key != 0) by_translation_.erase(victim->second.translation_key);
    if (last_bound_.entry == &victim->second) last_bound_ = LastBound{};
    statements_.erase(victim);
  }
  auto added = statements_.emplace(std::move(key), CachedStatement{stmt, true, ++use_clock_, {}, {}, {}, 0}).first;
  return Lease{stmt, &added->second, cache_epoch_};
}

void SqliteSession::Return(Lease lease, std::shared_ptr<Columns>* columns) noexcept {
  if (lease.stmt == nullptr) return;
  sqlite3_reset(lease.stmt);
  if (!lease.keep_bindings) sqlite3_clear_bindings(lease.stmt);
  // The cache may have been cleared (schema change) while the statement was out; then
  // this statement is no longer the cached one and is finalized like a transient one. An
  // entry on loan is never evicted, so while the epoch stands the entry is still there.
  if (lease.entry != nullptr && lease.epoch == cache_epoch_) {
    lease.entry->in_use = false;
    if (!lease.keep_bindings) lease.entry->bound.reset();
    // Only a translation's columns are kept (see ColumnsOf).
    if (columns != nullptr && *columns && (*columns)->translation) {
      lease.entry->columns = std::move(*columns);
    }
    return;
  }
  sqlite3_finalize(lease.stmt);
}

void SqliteSession::ClearStatements() noexcept {
  ++cache_epoch_;
  for (TextMemo& memo : translated_) {
    memo.texts.clear();
    memo.last = nullptr;
    memo.bytes = 0;
  }
  by_translation_.clear();
  cap_decisions_.clear();
  for (auto it = statements_.begin(); it != statements_.end();) {
    if (!it->second.in_use) sqlite3_finalize(it->second.stmt);
    it = statements_.erase(it);  // statements out on loan are finalized when returned
  }
}

const std::shared_ptr<const sql::BoundStatement>& SqliteSession::Translated(std::string_view text,
                                                                            sql::Dialect dialect) {
  // Enough for a member that sends one text per row of a 500-row list; texts are bounded
  // by their bytes as well, so a session keeps at most about 200 KB of them.
  constexpr std::size_t kMostTexts = 512;
  constexpr std::size_t kMostBytes = 128 * 1024;
  constexpr std::size_t kLongestText = 2048;
  TextMemo& memo = translated_[dialect == sql::Dialect::Jet ? 0 : 1];
  // A member sends the same text call after call: compared with the last one found before
  // the text is hashed.
  if (memo.last != nullptr && memo.last->first == text) {
    sql::CountExactHit();
    return memo.last->second;
  }
  if (auto it = memo.texts.find(text); it != memo.texts.end()) {
    sql::CountExactHit();
    memo.last = &*it;
    return it->second;
  }
  std::shared_ptr<const sql::BoundStatement> bound =
      sql::TranslateBoundShared(text, dialect, *catalog_);
  if (text.size() > kLongestText) {
    unkept_ = std::move(bound);
    return unkept_;
  }
  if (memo.texts.size() >= kMostTexts || memo.bytes + text.size() > kMostBytes) {
    memo.texts.clear();
    memo.bytes = 0;
  }
  memo.last = &*memo.texts.emplace(std::string(text), std::move(bound)).first;
  memo.bytes += text.size();
  return memo.last->second;
}

// Sessions on databases with the same schema share one catalogue object, so the front
// end's translation cache (keyed by catalogue and version) serves them all.
static std::shared_ptr<const sql::SchemaCatalog> InternCatalog(std::uint64_t hash,
                                                               std::vector<sql::TableInfo> tables) {
  static std::mutex mutex;
  static std::unordered_map<std::uint64_t, std::weak_ptr<const sql::SchemaCatalog>> catalogs;
  std::lock_guard lock(mutex);
  auto it = catalogs.find(hash);
  if (it != catalogs.end()) {
    if (auto shared = it->second.lock()) return shared;
  }
  auto catalog = std::make_shared<sql::MemoryCatalog>(hash);
  for (auto& table : tables) catalog->Add(std::move(table));
  if (catalogs.size() > 64) {
    std::erase_if(catalogs, [](const auto& entry) { return entry.second.expired(); });
  }
  catalogs[hash] = catalog;
  return catalog;
}

bool SqliteSession::RefreshCatalog(bool in_snapshot) {
  // The data version is only brought up to date when a read transaction starts, so it can
  // stand in for the header read only right after one of ours.
  if (in_snapshot && catalog_ && data_version_known_) {
    unsigned int data_version = 0;
    if (ReadDataVersion(db_, &data_version) && data_version == data_version_) {
      return false;
    }
  }
  sqlite3_reset(schema_version_stmt_);
  int rc = sqlite3_step(schema_version_stmt_);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(schema_version_stmt_);
    Raise(rc);
  }
  // The pragma holds its read transaction until it is reset, so the schema text and the
  // columns read below come from the same snapshot as the version (and a fresh session
  // pays for one transaction, not one per read).
  struct EndRead {
    sqlite3_stmt* stmt;
    ~EndRead() { sqlite3_reset(stmt); }
  } end_read{schema_version_stmt_};
  const std::int64_t version = sqlite3_column_int64(schema_version_stmt_, 0);
  // Taken while the pragma holds its read transaction, so it matches `version`.
  unsigned int data_version = 0;
  const bool data_version_known = ReadDataVersion(db_, &data_version);
  if (version == schema_version_ && catalog_) {
    data_version_ = data_version;
    data_version_known_ = data_version_known;
    return false;
  }

  // The schema's own text (every CREATE statement the file keeps, in order) decides the
  // catalogue; a session that finds one built from the same text skips reading columns.
  std::string schema_text = ReadSchemaText();
  if (std::shared_ptr<const sql::SchemaCatalog> shared = SharedCatalogs().Find(schema_text)) {
    return UseCatalog(std::move(shared), version, data_version, data_version_known);
  }

  // The declared type of every column of every table and view. The catalogue's version is
  // a hash of its content, not the file's schema counter: two files with the same schema
  // share translations, two with different schemas never do.
  static constexpr const char* kColumns =
      "SELECT m.name, p.name, p.type FROM sqlite_master AS m, pragma_table_info(m.name) AS p "
      "WHERE m.type IN ('table','view') AND m.name NOT LIKE 'sqlite!_%' ESCAPE '!' "
      "ORDER BY m.name, p.cid";
  sqlite3_stmt* stmt = nullptr;
  rc = sqlite3_prepare_v2(db_, kColumns, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) Raise(rc);
  std::vector<sql::TableInfo> tables;
  std::uint64_t hash = 14695981039346656037ULL;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    auto text = [&](int i) {
      const unsigned char* t = sqlite3_column_text(stmt, i);
      return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
    };
    std::string table = text(0);
    if (tables.empty() || tables.back().name != table) {
      tables.push_back(sql::TableInfo{table, {}});
      hash = Fnv1a(hash, "\x01" + table);
    }
    std::string column = text(1);
    std::string declared = text(2);
    hash = Fnv1a(Fnv1a(hash, column), declared);
    tables.back().columns.push_back(
        sql::ColumnInfo{std::move(column), sql::ColumnTypeFromDeclared(declared)});
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) Raise(rc);

  const std::size_t bytes = CatalogBytes(tables);
  std::shared_ptr<const sql::SchemaCatalog> catalog = InternCatalog(hash, std::move(tables));
  SharedCatalogs().Put(std::move(schema_text), catalog, bytes);
  return UseCatalog(std::move(catalog), version, data_version, data_version_known);
}

std::string SqliteSession::ReadSchemaText() {
  // The catalogue holds the columns of tables and views only, and those follow from their
  // CREATE texts (a view's from its own and those of what it reads), so indexes and
  // triggers are left out of the key: a session reads half the rows.
  Lease lease = Prepare("SELECT type, name, sql FROM sqlite_schema WHERE type IN ('table','view')");
  std::string text;
  text.reserve(8192);
  int rc;
  while ((rc = sqlite3_step(lease.stmt)) == SQLITE_ROW) {
    for (int i = 0; i < 3; ++i) {
      // Each value with its length, so no text can pass for two others joined.
      const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(lease.stmt, i));
      if (value == nullptr) {
        text += "-;";
        continue;
      }
      const int size = sqlite3_column_bytes(lease.stmt, i);
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, size).ptr;
      text.append(digits, end);
      text += ':';
      text.append(value, static_cast<std::size_t>(size));
    }
  }
  Return(lease);
  if (rc != SQLITE_DONE) Raise(rc);
  return text;
}

bool SqliteSession::UseCatalog(std::shared_ptr<const sql::SchemaCatalog> catalog,
                               std::int64_t version, unsigned int data_version,
                               bool data_version_known) {
  const bool changed = !catalog_ || catalog_->version() != catalog->version();
  catalog_ = std::move(catalog);
  schema_version_ = version;
  data_version_ = data_version;
  data_version_known_ = data_version_known;
  // Cached texts were translated against the old catalogue; the engine would re-prepare
  // them itself, but the translations they came from may differ now.
  if (changed) ClearStatements();
  return changed;
}

// The schema check reads the file header, which needs a read transaction. It is made inside
// the statement's own transaction (after a query's first row, after a write has its lock),
// so a member's call pays for one transaction, not two. A query that ran against a
// catalogue gone stale meanwhile is run again against the current one.
std::unique_ptr<Cursor> SqliteSession::Execute(std::string_view text, sql::Dialect dialect,
                                               std::int64_t* affected) {
  return Run(text, dialect, affected, -1);
}

std::unique_ptr<Cursor> SqliteSession::ExecuteCapped(std::string_view text, sql::Dialect dialect,
                                                     std::int64_t rows) {
  return Run(text, dialect, nullptr, std::max<std::int64_t>(rows, 0));
}

// A capped query runs its text with a LIMIT added here, below the text the member built
// and its caller reads back: with a sort, the engine then keeps only the first rows
// instead of ordering every match. A TOP of the statement's own already limits it.
std::unique_ptr<Cursor> SqliteSession::Run(std::string_view text, sql::Dialect dialect,
                                           std::int64_t* affected, std::int64_t rows) {
  if (affected != nullptr) *affected = -1;
  StartClock();
  for (int attempt = 0;; ++attempt) {
    std::unique_ptr<Cursor> cursor;
    Lease ran;  // the query's statement, on loan to `cursor`
    try {
      // Held by the session's memo: good until a change of catalogue, after which it is
      // not used again (a procedure keeps its own reference across the check).
      const std::shared_ptr<const sql::BoundStatement>& bound = Translated(text, dialect);
      switch (bound->translation->kind) {
        case sql::StatementKind::Select:
          if (rows >= 0 && !bound->translation->limited && CapStopsEarly(*bound, rows)) {
            ran = PrepareBound(bound, Form::Capped, rows);
            cursor = OpenCursor(*this, ran, bound->translation, bound);
          } else {
            ran = PrepareBound(bound);
            cursor = OpenCursor(*this, ran, bound->translation);
          }
          break;
        case sql::StatementKind::Insert:
        case sql::StatementKind::Update:
        case sql::StatementKind::Delete:
          return RunWrite(text, dialect, bound, affected);
        case sql::StatementKind::ProcedureCall: {
          const std::shared_ptr<const sql::Translation> call = bound->translation;
          RefreshCatalog();
          return RunProcedure(call->procedure, call->arguments);
        }
      }
    } catch (const VbError&) {
      if (attempt == 0 && RefreshCatalog()) continue;
      throw;
    }
    // The query's first step read the file in a transaction of its own (still open while a
    // row is current, just ended otherwise), unless the caller holds one open.
    const bool in_snapshot = sqlite3_get_autocommit(db_) != 0;
    if (in_snapshot && StillCurrent(ran)) return cursor;
    if (RefreshCatalog(in_snapshot) && attempt == 0) continue;
    MarkCurrent(ran);
    return cursor;
  }
}

// The engine compares the schema cookie a statement was compiled against with the file's
// at the start of every statement that reads a table, and compiles it again when they
// differ (counted by SQLITE_STMTSTATUS_REPREPARE). So a cached statement that has just run
// without being compiled again has the cookie it had when the catalogue was last confirmed
// beside it: the file's schema is the catalogue's, and no check is needed. A statement
// that reads no table is not compared, but neither does its translation depend on the
// catalogue.
bool SqliteSession::StillCurrent(const Lease& lease) const {
  const CachedStatement* entry = lease.entry;
  return entry != nullptr && lease.epoch == cache_epoch_ && entry->confirmed_schema >= 0 &&
         entry->confirmed_schema == schema_version_ &&
         entry->confirmed_compiles ==
             sqlite3_stmt_status(lease.stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
}

// After a check made in the statement's own read transaction: its compiled schema is the
// catalogue's. Had another connection changed the schema between the statement's step and
// a check that read the header afresh, the statement is compiled again at its next run, so
// StillCurrent does not take this for a confirmation then.
void SqliteSession::MarkCurrent(const Lease& lease) {
  CachedStatement* entry = lease.entry;
  if (entry == nullptr || lease.epoch != cache_epoch_) return;
  entry->confirmed_schema = schema_version_;
  entry->confirmed_compiles = sqlite3_stmt_status(lease.stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
}

// A translation is at least 8-byte aligned: the low bits carry the form and whether its
// values are parameters, so each form of a shape is found without printing its text.
std::uintptr_t SqliteSession::ShapeKey(const sql::BoundStatement& bound, Form form) {
  static_assert(alignof(sql::Translation) >= 8);
  return reinterpret_cast<std::uintptr_t>(bound.translation.get()) |
         (bound.parameterised ? 1U : 0U) | (static_cast<std::uintptr_t>(form) << 1);
}

// A cached statement keeps the values of its last use, and a parameter is bound only when
// its value differs. Binding a parameter that a LIKE compares with makes the engine plan
// the statement again at its next step (the pattern may allow an index); a page's filters
// are mostly the same "%" from call to call, and then the plan made for it stands.
//
// The same translated text again (the one object the session's memo gives for it) in the
// same form finds the statement it had last, as long as that still holds exactly its values:
// nothing has leased the statement since (a lease of another kind clears the values it
// knows), the cache has not been cleared, and the statement has not been evicted (which
// forgets this record).
SqliteSession::Lease SqliteSession::PrepareBound(
    const std::shared_ptr<const sql::BoundStatement>& shared, Form form, std::int64_t rows) {
  const sql::BoundStatement& bound = *shared;
  if (last_bound_.bound == shared && last_bound_.form == form && last_bound_.rows == rows &&
      last_bound_.epoch == cache_epoch_) {
    CachedStatement& entry = *last_bound_.entry;
    if (!entry.in_use && entry.bound.has_value()) {
      Lease lease = Lend(entry);
      lease.keep_bindings = true;
      return lease;
    }
  }
  const std::uintptr_t key = ShapeKey(bound, form);
  Lease lease;
  auto found = by_translation_.find(key);
  if (found != by_translation_.end() && !found->second->in_use && found->second->rows == rows) {
    lease = Lend(*found->second);
  } else {
    // The mapping is let go before preparing (which may evict entries): it named a
    // statement on loan or the shape capped at another number.
    if (found != by_translation_.end()) {
      found->second->translation_key = 0;
      by_translation_.erase(found);
    }
    switch (form) {
      case Form::Whole:
        lease = Prepare(bound.engine_text());
        break;
      case Form::Capped:
        lease = Prepare(bound.engine_text() + " LIMIT " + std::to_string(rows));
        break;
      case Form::Count:
        // Unsorted, the engine counts the rows without ordering them or reading the joined
        // tables a LEFT JOIN on their keys cannot multiply.
        lease = Prepare("SELECT count(*) FROM (" + std::string(bound.unsorted_engine_text()) + ")");
        break;
    }
    CachedStatement* entry = lease.entry;
    // Two translations may print the same engine text; the entry is found by the latest.
    if (entry != nullptr && entry->translation_key != key) {
      if (entry->translation_key != 0) by_translation_.erase(entry->translation_key);
      entry->translation = bound.translation;
      entry->translation_key = key;
      entry->rows = rows;
      by_translation_[key] = entry;
    }
  }
  std::optional<std::vector<sql::BoundValue>>* last =
      lease.entry != nullptr ? &lease.entry->bound : nullptr;
  try {
    const bool known = last != nullptr && last->has_value() && (*last)->size() == bound.values.size();
    for (std::size_t i = 0; i < bound.values.size(); ++i) {
      if (known && SameValue((**last)[i], bound.values[i])) continue;
      BindBoundValue(lease.stmt, static_cast<int>(i) + 1, bound.values[i]);
      if (known) (**last)[i] = bound.values[i];
    }
    if (last != nullptr && !known) *last = bound.values;
    lease.keep_bindings = true;
  } catch (...) {
    if (last != nullptr) last->reset();
    Return(lease);
    throw;
  }
  if (lease.entry != nullptr) {
    if (last_bound_.bound != shared) last_bound_.bound = shared;
    last_bound_.entry = lease.entry;
    last_bound_.epoch = cache_epoch_;
    last_bound_.form = form;
    last_bound_.rows = rows;
  } else {
    last_bound_ = LastBound{};
  }
  return lease;
}

namespace {

// Whether the engine's plan for `text` sorts every row it reads into a temporary B-tree
// (rather than walking an index in order, at most sorting the rows that tie on it).
// -1 when the text cannot be planned.
int SortsEveryRow(sqlite3* db, const std::string& text) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + text).c_str(), -1, &stmt, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt);
    return -1;
  }
  int sorts = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3));
    if (detail != nullptr && std::strcmp(detail, "USE TEMP B-TREE FOR ORDER BY") == 0) sorts = 1;
  }
  sqlite3_finalize(stmt);
  return sorts;
}

}  // namespace

// With a LIMIT and a sort of every matching row, the engine sorts into a bounded temporary
// B-tree instead of its sorter; for the few rows of a lookup that costs more than the whole
// sort it replaces, and it still reads every match. The cap is worth it when the engine
// walks an index in the order asked (sorting at most the rows that tie on it), or has no
// order to make: then it stops after the cap. Decided once per shape and cap.
bool SqliteSession::CapStopsEarly(const sql::BoundStatement& bound, std::int64_t rows) {
  const std::uintptr_t key = ShapeKey(bound, Form::Capped);
  auto found = cap_decisions_.find(key);
  if (found != cap_decisions_.end() && found->second.rows == rows) return found->second.stops_early;
  const bool stops_early =
      SortsEveryRow(db_, std::string(bound.engine_text()) + " LIMIT " + std::to_string(rows)) == 0;
  if (cap_decisions_.size() >= 256) cap_decisions_.clear();
  cap_decisions_[key] = CapDecision{bound.translation, rows, stops_early};
  return stops_early;
}

std::int64_t SqliteSession::CountRows(const std::shared_ptr<const sql::BoundStatement>& bound) {
  Lease lease = PrepareBound(bound, Form::Count);
  const int rc = sqlite3_step(lease.stmt);
  const std::int64_t count = rc == SQLITE_ROW ? sqlite3_column_int64(lease.stmt, 0) : 0;
  Return(lease);
  if (rc != SQLITE_ROW) Raise(rc);
  return count;
}

// A write runs in its own immediate transaction: the write lock is taken (waiting up to the
// command time-out) before the statement reads anything, so two members writing at once
// queue up instead of one failing on a snapshot the other has moved past.
std::unique_ptr<Cursor> SqliteSession::RunWrite(std::string_view text, sql::Dialect dialect,
                                                std::shared_ptr<const sql::BoundStatement> bound,
                                                std::int64_t* affected) {
  const bool own_transaction = sqlite3_get_autocommit(db_) != 0;
  auto run_lease = [&](Lease lease) {
    int rc;
    while ((rc = sqlite3_step(lease.stmt)) == SQLITE_ROW) {
    }
    std::string message = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db_);
    Return(lease);
    return std::pair{rc, std::move(message)};
  };
  auto run = [&](std::string_view sql) { return run_lease(Prepare(sql)); };
  auto fail = [&](int rc, std::string message) {
    if (own_transaction && sqlite3_get_autocommit(db_) == 0) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_IOERR) broken_ = true;
    if ((rc & 0xff) == SQLITE_FULL) AfterFullDisk();
    throw VbError(err::kDatabaseError, std::move(message));
  };

  if (own_transaction) {
    auto [rc, message] = run("BEGIN IMMEDIATE");
    if (rc != SQLITE_DONE) fail(rc, std::move(message));
  }
  try {
    // BEGIN IMMEDIATE of ours has just started reading the file.
    if (RefreshCatalog(own_transaction)) {
      bound = Translated(text, dialect);
    }
    auto [rc, message] = run_lease(PrepareBound(bound));
    if (rc != SQLITE_DONE) fail(rc, std::move(message));
  } catch (...) {
    // A failure to prepare (rejected text) must not leave the transaction open either.
    if (own_transaction && sqlite3_get_autocommit(db_) == 0) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    throw;
  }
  if (affected != nullptr) *affected = sqlite3_changes64(db_);
  if (own_transaction) {
    auto [rc, message] = run("COMMIT");
    if (rc != SQLITE_DONE) fail(rc, std::move(message));
    AfterCommit();
  }
  return nullptr;
}

// Procedures live in the database: a row of ks_procedures holds the name, the parameter
// names (comma separated) and one engine statement using them as :name parameters. The
// call's arguments arrive as text, as the source engine received them.
std::unique_ptr<Cursor> SqliteSession::RunProcedure(const std::string& name,
                                                    const std::vector<std::string>& arguments) {
  if (catalog_->FindTable(kProcedureTable) == nullptr) {
    throw VbError(err::kDatabaseError, "Could not find stored procedure '" + name + "'.");
  }
  std::string params;
  std::string body;
  {
    Lease lease = Prepare("SELECT params, body FROM ks_procedures WHERE name = ?1 COLLATE NOCASE");
    sqlite3_bind_text(lease.stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    int rc = sqlite3_step(lease.stmt);
    if (rc == SQLITE_ROW) {
      auto text = [&](int i) {
        const unsigned char* t = sqlite3_column_text(lease.stmt, i);
        return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
      };
      params = text(0);
      body = text(1);
    }
    std::string message = sqlite3_errmsg(db_);
    Return(lease);
    if (rc == SQLITE_DONE) {
      throw VbError(err::kDatabaseError, "Could not find stored procedure '" + name + "'.");
    }
    if (rc != SQLITE_ROW) throw VbError(err::kDatabaseError, message);
  }

  std::vector<std::string> names;
  for (std::size_t start = 0; start <= params.size();) {
    std::size_t comma = params.find(',', start);
    if (comma == std::string::npos) comma = params.size();
    std::string piece = params.substr(start, comma - start);
    piece.erase(0, piece.find_first_not_of(" \t@:"));
    piece.erase(piece.find_last_not_of(" \t") + 1);
    if (!piece.empty()) names.push_back(piece);
    start = comma + 1;
  }
  if (arguments.size() > names.size()) {
    throw VbError(err::kDatabaseError,
                  "Procedure or function " + name + " has too many arguments specified.");
  }
  if (arguments.size() < names.size()) {
    throw VbError(err::kDatabaseError, "Procedure or function '" + name +
                                           "' expects parameter '@" + names[arguments.size()] +
                                           "', which was not supplied.");
  }

  Lease lease = Prepare(body);
  for (std::size_t i = 0; i < names.size(); ++i) {
    int index = sqlite3_bind_parameter_index(lease.stmt, (":" + names[i]).c_str());
    if (index == 0) index = sqlite3_bind_parameter_index(lease.stmt, (":" + Lower(names[i])).c_str());
    if (index == 0) continue;  // a parameter the body does not use
    sqlite3_bind_text(lease.stmt, index, arguments[i].data(),
                      static_cast<int>(arguments[i].size()), SQLITE_TRANSIENT);
  }
  if (sqlite3_column_count(lease.stmt) == 0) {
    int rc;
    while ((rc = sqlite3_step(lease.stmt)) == SQLITE_ROW) {
    }
    std::string message = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db_);
    Return(lease);
    if (!message.empty()) throw VbError(err::kDatabaseError, message);
    return nullptr;
  }
  return OpenCursor(*this, lease, nullptr);
}

std::unique_ptr<Cursor> SqliteSession::ExecuteNative(std::string_view text,
                                                     std::span<const Variant> params,
                                                     std::int64_t* affected) {
  if (affected != nullptr) *affected = -1;
  StartClock();
  Lease lease = Prepare(text);
  try {
    for (std::size_t i = 0; i < params.size(); ++i) {
      BindValue(lease.stmt, static_cast<int>(i) + 1, params[i]);
    }
  } catch (...) {
    Return(lease);
    throw;
  }
  if (sqlite3_column_count(lease.stmt) > 0) return OpenCursor(*this, lease, nullptr);
  int rc;
  while ((rc = sqlite3_step(lease.stmt)) == SQLITE_ROW) {
  }
  std::string message = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db_);
  Return(lease);
  if (rc != SQLITE_DONE) throw VbError(err::kDatabaseError, message);
  if (affected != nullptr) *affected = sqlite3_changes64(db_);
  return nullptr;
}

void SqliteSession::ExecuteScript(std::string_view script) {
  StartClock();
  std::string text(script);
  char* error = nullptr;
  int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite3_errstr(rc);
    sqlite3_free(error);
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw VbError(err::kDatabaseError, message);
  }
}

}  // namespace ksmain::data::sqlite
