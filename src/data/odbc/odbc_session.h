// One connection to a server database through unixODBC.
//
// Like the embedded session it keeps what makes a repeated member call cheap: one prepared
// statement per parameterised text (the server plans it once), and the catalogue of column
// types the front end analyses statements against. The catalogue is read when the session
// opens and again when a statement fails, so a table changed meanwhile is seen at the
// retry. Statements and parameters travel as UTF-16 (the driver manager's wide calls); result
// text is read as the server's own UTF-8 bytes.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/driver.h"

namespace ksmain::data::odbc {

class OdbcSession final : public Session {
 public:
  // Connects (SQLDriverConnect, no prompt); raises the driver's diagnostic on failure and
  // for a server whose SQL no printer speaks.
  OdbcSession(const std::string& connect, int timeout_seconds);
  ~OdbcSession() override;

  void SetTimeout(int seconds) override;
  std::unique_ptr<Cursor> Execute(std::string_view text, sql::Dialect dialect,
                                  std::int64_t* affected) override;
  std::unique_ptr<Cursor> ExecuteNative(std::string_view text, std::span<const Variant> params,
                                        std::int64_t* affected) override;
  void ExecuteScript(std::string_view script) override;
  bool Reusable() const override { return !broken_; }

  // True when the current schema holds tables already (Create refuses such a database).
  bool HasTables();

  // A prepared statement's result columns and their fetch buffers, kept with it.
  struct ResultBlock;
  // A prepared statement on loan to a cursor or a write.
  struct Lease {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool cached = false;
    std::string text;
    std::shared_ptr<ResultBlock> block;
  };
  void Return(Lease& lease) noexcept;
  // Returns a lease when the scope that took it ends, however it ends.
  struct ReturnOnExit {
    OdbcSession& session;
    Lease& lease;
    ~ReturnOnExit() { session.Return(lease); }
  };
  // Raises the statement's diagnostic as a database error; marks the session unfit when
  // the connection itself failed.
  [[noreturn]] void Raise(SQLSMALLINT handle_type, SQLHANDLE handle);

 private:
  // Parameter buffers for one execution; they must outlive SQLExecute.
  struct Bindings;
  Lease Prepare(std::string_view text);
  void RefreshCatalog();
  std::unique_ptr<Cursor> Run(Lease lease, Bindings& bindings,
                              std::shared_ptr<const sql::Translation> translation,
                              std::int64_t* affected);
  std::unique_ptr<Cursor> RunProcedure(const sql::Translation& translation);
  void ExecDirect(std::string_view text);

  SQLHDBC dbc_ = SQL_NULL_HDBC;
  int timeout_ = 30;
  bool broken_ = false;
  struct CachedStatement {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool in_use = false;
    std::uint64_t last_use = 0;
    std::shared_ptr<ResultBlock> block;
  };
  std::unordered_map<std::string, CachedStatement> statements_;
  std::uint64_t use_clock_ = 0;
  std::shared_ptr<const sql::SchemaCatalog> catalog_;
};

}  // namespace ksmain::data::odbc
