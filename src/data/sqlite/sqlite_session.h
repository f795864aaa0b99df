// One connection to an embedded database file.
//
// A session keeps what makes a repeated member call cheap: its prepared statements (keyed
// by the parameterised engine text, so texts differing only in their values share one;
// reset before reuse) and the catalogue of declared column types the
// front end analyses statements against, reloaded whenever the database's schema version
// moves, so a table added or changed through another connection is seen at the next
// statement.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/driver.h"

namespace ksmain::data::sqlite {

class SqliteSession final : public Session {
 public:
  // Takes ownership of an open handle; sets the connection up (journal, timeouts, our SQL
  // functions) and verifies the file is a database.
  SqliteSession(sqlite3* db, std::string path, int timeout_seconds);
  ~SqliteSession() override;

  void SetTimeout(int seconds) override;
  std::unique_ptr<Cursor> Execute(std::string_view text, sql::Dialect dialect,
                                  std::int64_t* affected) override;
  std::unique_ptr<Cursor> ExecuteCapped(std::string_view text, sql::Dialect dialect,
                                        std::int64_t rows) override;
  std::unique_ptr<Cursor> ExecuteNative(std::string_view text, std::span<const Variant> params,
                                        std::int64_t* affected) override;
  void ExecuteScript(std::string_view script) override;
  bool Reusable() const override;

  // What a query's rows look like: the field names a recordset reports and the kinds its
  // values are read in. Worked out once per cached statement and translation, not at every
  // open; it also remembers how the names a member asks for resolved. Used by one thread
  // at a time, as its session is.
  struct Columns {
    // The translation the names and kinds came from (nullptr: the engine's own); held so
    // that its address cannot be reused by another while this is kept.
    std::shared_ptr<const sql::Translation> translation;
    std::vector<std::string> names;
    std::vector<sql::ColumnType> types;
    AskedNames asked;
  };

  struct CachedStatement;
  // A statement on loan to a cursor; Return() resets it and puts it back (or finalizes one
  // that was prepared outside the cache because the cached one was busy).
  struct Lease {
    sqlite3_stmt* stmt = nullptr;
    // The cache entry it came from, valid while the cache's epoch is still `epoch` (a
    // cleared cache lets go of statements on loan; they are finalized when returned).
    CachedStatement* entry = nullptr;
    std::uint64_t epoch = 0;
    // Every parameter was bound by PrepareBound, so the values may stay for the next use.
    bool keep_bindings = false;
  };
  Lease Prepare(std::string_view text);
  // Lends a cached statement that is not in use.
  Lease Lend(CachedStatement& entry);
  // The column description of a leased query for `translation`, from its cache entry when
  // that entry already has it. The entry's description goes to the caller for the time of
  // the lease and comes back with it (see Return), so it changes hands without a count.
  std::shared_ptr<Columns> ColumnsOf(const Lease& lease,
                                     const std::shared_ptr<const sql::Translation>& translation);
  // `columns`: a query's, as ColumnsOf gave it for this lease.
  void Return(Lease lease, std::shared_ptr<Columns>* columns = nullptr) noexcept;
  // The number of rows a translated query gives in all, read in the current transaction.
  std::int64_t CountRows(const std::shared_ptr<const sql::BoundStatement>& bound);

  sqlite3* db() const { return db_; }
  // Raises the engine's current error as a database error, marking the session unfit for
  // reuse when the error says the connection itself is in trouble.
  [[noreturn]] void Raise(int rc);

  struct CachedStatement {
    sqlite3_stmt* stmt = nullptr;
    bool in_use = false;
    std::uint64_t last_use = 0;
    // The values its parameters hold, when known (see PrepareBound).
    std::optional<std::vector<sql::BoundValue>> bound;
    std::shared_ptr<Columns> columns;
    // The translation it was last found for (see PrepareBound), held so that its address,
    // the key it is found by, cannot be reused by another translation meanwhile.
    std::shared_ptr<const sql::Translation> translation;
    std::uintptr_t translation_key = 0;
    std::int64_t rows = -1;  // the cap of a capped form (see PrepareBound)
    // The schema version the catalogue had when this statement was last confirmed to be
    // compiled against it, and the engine's count of its compilations then (see
    // StillCurrent).
    std::int64_t confirmed_schema = -1;
    int confirmed_compiles = 0;
  };

 private:
  // Reloads the catalogue when the schema version moved; true when its content changed.
  // `in_snapshot`: the caller has just read the file in a transaction of its own making (no
  // explicit transaction of the caller's is open), so the pager's data version is current
  // and an unchanged one proves the schema unchanged without reading the header.
  bool RefreshCatalog(bool in_snapshot = false);
  // Whether a query that has just taken its first step proves the catalogue current, and
  // the record of a check that did.
  bool StillCurrent(const Lease& lease) const;
  void MarkCurrent(const Lease& lease);
  // The schema table's rows for tables and views as one text, the shared catalogues' key.
  std::string ReadSchemaText();
  // Takes `catalog` for schema `version`; true when its content differs from the last one.
  bool UseCatalog(std::shared_ptr<const sql::SchemaCatalog> catalog, std::int64_t version,
                  unsigned int data_version, bool data_version_known);
  void ClearStatements() noexcept;
  // The translation of a statement text, from this session's memo when it ran the text
  // before against the same catalogue. The reference stays good until the next translation
  // or a change of catalogue, whichever comes first.
  const std::shared_ptr<const sql::BoundStatement>& Translated(std::string_view text,
                                                               sql::Dialect dialect);
  std::unique_ptr<Cursor> RunWrite(std::string_view text, sql::Dialect dialect,
                                   std::shared_ptr<const sql::BoundStatement> bound,
                                   std::int64_t* affected);
  // `rows` >= 0: a query of which at most that many rows are read.
  std::unique_ptr<Cursor> Run(std::string_view text, sql::Dialect dialect,
                              std::int64_t* affected, std::int64_t rows);
  // What runs for a translated shape: its own text, that text cut short after `rows` rows,
  // or the number of its rows (the same parameters in each).
  enum class Form { Whole, Capped, Count };
  // The key a translated shape in `form` is found by (in the statement cache's map and
  // the cap decisions).
  static std::uintptr_t ShapeKey(const sql::BoundStatement& bound, Form form);
  // Whether running the shape cut short after `rows` rows spares the engine work: true when
  // the cap lets it stop early (no sort, or an index gives the order), false when it would
  // still read every match and only trade its sort for a slower bounded one.
  bool CapStopsEarly(const sql::BoundStatement& bound, std::int64_t rows);
  // The statement of a translated shape in `form` with this text's values bound.
  Lease PrepareBound(const std::shared_ptr<const sql::BoundStatement>& bound,
                     Form form = Form::Whole, std::int64_t rows = -1);
  std::unique_ptr<Cursor> RunProcedure(const std::string& name,
                                       const std::vector<std::string>& arguments);
  void ExecSimple(const char* sql);
  // A statement starts: its deadline is the limit from now.
  void StartClock();

  // The write-ahead log and shared index beside the file, as this session found them (see
  // the destructor).
  struct FileId {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
  };
  static FileId IdOf(const std::string& path);
  void ForgetMovedFile() noexcept;
  // Writes the log back into the file and truncates it, without waiting for readers; true
  // when the log is empty afterwards.
  bool TruncateLog() noexcept;
  void AfterFullDisk() noexcept;
  void AfterCommit() noexcept;

  sqlite3* db_;
  std::string path_;
  FileId wal_;
  FileId shm_;
  bool broken_ = false;
  int timeout_ms_ = 0;
  // Looked up by string_view: a cached statement's text is found without building a key.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  std::unordered_map<std::string, CachedStatement, TextHash, std::equal_to<>> statements_;
  std::uint64_t use_clock_ = 0;
  // Moves whenever the cache is cleared, so a lease knows whether its entry still exists.
  std::uint64_t cache_epoch_ = 0;
  // Cached statements by the translation they run (its address, the low bit set when it
  // runs with parameters): a member's repeated statement is found without hashing its
  // engine text, which for a "select *" lists every column.
  std::unordered_map<std::uintptr_t, CachedStatement*> by_translation_;
  // The statement PrepareBound last handed out, with the translated text and form it bound
  // for: a member repeating its call finds it again without the look-up and without
  // comparing its values one by one. Holding the text keeps its address from being reused.
  struct LastBound {
    std::shared_ptr<const sql::BoundStatement> bound;
    CachedStatement* entry = nullptr;
    std::uint64_t epoch = 0;
    Form form = Form::Whole;
    std::int64_t rows = -1;
  };
  LastBound last_bound_;
  // Translations of the texts this session ran, per dialect, in front of the process-wide
  // cache: a member's repeated text is found without that cache's lock and key. Cleared
  // with the statements (a catalogue that changed translates differently) and when full.
  struct TextMemo {
    using Map = std::unordered_map<std::string, std::shared_ptr<const sql::BoundStatement>,
                                   TextHash, std::equal_to<>>;
    Map texts;
    // The entry found or added last (its node stays put until the map is cleared).
    const Map::value_type* last = nullptr;
    std::size_t bytes = 0;
  };
  TextMemo translated_[2];
  // The translation of the last text too long to keep in the memo.
  std::shared_ptr<const sql::BoundStatement> unkept_;
  // Per translated shape and cap: does the cap let the engine stop early (see CapStopsEarly)?
  // Holding the translation keeps its address, the key, from being reused.
  struct CapDecision {
    std::shared_ptr<const sql::Translation> translation;
    std::int64_t rows;
    bool stops_early;
  };
  std::unordered_map<std::uintptr_t, CapDecision> cap_decisions_;
  sqlite3_stmt* schema_version_stmt_ = nullptr;
  std::int64_t schema_version_ = -1;
  // The main file's data version when schema_version_ was read; it moves with every
  // commit, ours or another connection's, so while it stands the schema stands too.
  unsigned int data_version_ = 0;
  bool data_version_known_ = false;
  std::shared_ptr<const sql::SchemaCatalog> catalog_;
  // When the statement now running must have finished (see data/statement_limit.h); a
  // cursor's later steps count against the statement that opened it.
  using Clock = std::chrono::steady_clock;
  Clock::time_point deadline_ = Clock::time_point::max();
};

}  // namespace ksmain::data::sqlite
