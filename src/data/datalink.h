// The ADO-shaped objects the members reach their databases through: Connection, Recordset
// (with its Fields) and DataLink, the connection-and-recordset pair that one member call
// opens on the caller's connection string and releases before it returns.
//
// The objects behave as the members rely on: a connection opened with a command time-out,
// a recordset opened with a statement that stands on its first record, BOF/EOF, fields by
// name without regard to case, values in their own kinds, GetRows as (field, record).
// Failures raise VbError: the engine's rejection as err::kDatabaseError with its message,
// the front end's SqlError as it is, and the data-access layer's own numbers (3265 for a
// field the result lacks, 3704 for a closed object, 3021 without a current record).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/record_source.h"
#include "ksmain/variant.h"
#include "sql/translate.h"

namespace ksmain::data {

class Cursor;
class Recordset;
struct ConnectionState;

// The data-access layer's own error numbers, beside those in ksmain/error.h.
namespace adoerr {
inline constexpr int kNoCurrentRecord = 3021;
inline constexpr int kObjectOpen = 3705;
}  // namespace adoerr

class Connection {
 public:
  // The dialect the statements sent on this connection are written in: Jet for the
  // portfolio classes, T-SQL for the catalogue.
  explicit Connection(sql::Dialect dialect);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Seconds a statement may wait for the database (default 30, as the platform's).
  void SetCommandTimeout(int seconds);
  int CommandTimeout() const { return timeout_seconds_; }
  // Opens on a connection string; user, password and options are accepted and unused
  // (the embedded engine has no sign-in). Raises 3705 when already open.
  void Open(std::string_view connect, std::string_view user = {}, std::string_view password = {},
            int options = -1);
  // Runs a statement; a query's recordset comes back open, a write's closed.
  // `records_affected` receives the rows a write changed (a Long; -1 for a query).
  std::unique_ptr<Recordset> Execute(std::string_view command, Variant* records_affected = nullptr,
                                     int options = -1);
  // Closes the recordsets still open on it and gives the session back to the pool.
  void Close();
  bool IsOpen() const;
  sql::Dialect dialect() const { return dialect_; }

 private:
  friend class Recordset;
  sql::Dialect dialect_;
  int timeout_seconds_ = 30;
  std::shared_ptr<ConnectionState> state_;
};

// A statement's text as a recordset keeps it. A member call's recordset lives in its
// DataLink on the caller's stack, so a text that fits (nearly every member's statement) is
// copied into the recordset itself: no memory to take or give back per call.
class SourceText {
 public:
  SourceText() = default;
  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;
  SourceText& operator=(std::string_view text);
  std::string_view view() const { return {long_ ? long_.get() : short_, size_}; }

 private:
  static constexpr std::size_t kShort = 256;
  std::unique_ptr<char[]> long_;  // a text longer than kShort
  std::size_t size_ = 0;
  char short_[kShort];
};

class Recordset : public RecordSource {
 public:
  Recordset();
  ~Recordset() override;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs `source` on `connection`. Cursor type, lock type and options are accepted as the
  // members pass them; the recordset is always forward-only and read-only.
  void Open(std::string_view source, Connection& connection, int cursor_type = -1,
            int lock_type = -1, int options = -1);
  // The prepared style: Source, ActiveConnection, CursorType, LockType, then Open(options).
  void SetSource(std::string_view source);
  void SetActiveConnection(Connection& connection);
  void SetCursorType(int cursor_type);
  void SetLockType(int lock_type);
  void Open(int options = -1);

  bool AtBof() const override;
  bool AtEof() const override;
  Variant Field(std::string_view name) const override;
  // A field's ordinal, and the current record's value at an ordinal it gave; ordinals
  // stay true while the recordset stays open on the same statement.
  int FieldIndex(std::string_view name) const override { return Ordinal(name); }
  Variant FieldAt(int index) const override;
  Variant Field(int ordinal) const;
  int FieldCount() const;
  std::string FieldName(int ordinal) const;
  void MoveNext() override;
  std::int64_t CountToEnd() override;
  // The remaining records (at most `rows` of them; -1 for all) as a two-dimensional array
  // indexed (field, record), lower bounds 0; the recordset ends after the last one read.
  Variant GetRows(int rows = -1);
  // Raises 3704 when not open (a write's statement returns no rows, so its recordset
  // never is).
  void Close();
  bool IsOpen() const;

 private:
  friend class Connection;
  friend class DataLink;
  void Attach(ConnectionState& state, std::unique_ptr<Cursor> cursor);
  // `row_cap`: the caller reads at most that many rows (-1: all of them).
  void Run(Connection& connection, std::string_view source, std::int64_t row_cap = -1);
  void RequireOpen() const;
  void RequireRecord() const;
  int Ordinal(std::string_view name) const;

  // The connection's state and the statement's cursor while open. The state is not owned:
  // it lives until its connection closes, and closing detaches every recordset on it
  // first (see Connection::Close).
  ConnectionState* state_ = nullptr;
  std::unique_ptr<Cursor> cursor_;
  bool bof_ = false;
  SourceText source_;
  Connection* active_connection_ = nullptr;
  int cursor_type_ = -1;
  int lock_type_ = -1;
};

// One member call's link: a connection with a command time-out of 360 seconds opened on
// the caller's connection string (its text by the runtime's CStr rules: Null raises 94),
// and the one recordset the member opens on it.
class DataLink {
 public:
  static constexpr int kCommandTimeout = 360;

  DataLink(const Variant& strconnect, sql::Dialect dialect);
  ~DataLink();
  DataLink(const DataLink&) = delete;
  DataLink& operator=(const DataLink&) = delete;

  // Opens the recordset on a query (cursor, lock and options unspecified).
  Recordset& Query(std::string_view sql);
  // The same for a caller that reads at most `row_cap` records and past them only needs
  // their number (a grid that holds a fixed number of rows): the engine may stop after
  // them. The recordset's CountToEnd() still counts every record.
  Recordset& Query(std::string_view sql, std::int64_t row_cap);
  // Runs a write statement through the recordset's Open; no rows come back.
  void Run(std::string_view sql);
  Connection& connection() { return connection_; }
  Recordset& recordset() { return recordset_; }
  // Closes the recordset (when it is open with rows) and the connection.
  void Close();

 private:
  Connection connection_;
  Recordset recordset_;
};

// ---- Deployment settings --------------------------------------------------------------
// Set by the hosting process; the library reads no environment or files of its own.

// A server name in a connection string ("server=NAME") stands for the embedded databases
// in `directory`: "Database=DB" opens DIRECTORY/DB.db (DB matched without regard to case).
// A `directory` naming "Driver=" or "DSN=" is an ODBC connection string instead: the page's
// "Database=DB" is added to it and the server database DB is opened through ODBC.
void SetDataSource(std::string server, std::string directory);
void ClearDataSources();
// Confines every connection string to databases in these folders (and the servers'
// folders): a string that resolves elsewhere (an absolute path, "..", a symbolic link
// pointing out) or to anything but a regular file fails as a database that cannot be
// opened, creates nothing, and writes one application-log line naming the refused path.
// Empty (the default): no confinement. Folders are compared by their canonical paths.
void SetAllowedFolders(std::vector<std::string> folders);
// The host named in the catalogue's fixed connection string; "localhost" unless set.
void SetCatalogueHost(std::string host);
std::string CatalogueHost();

}  // namespace ksmain::data
