// Engine-native access to one database (an embedded file, or a server database when the
// location is an ODBC connection string): creating schemas and loading data sets.
//
// Members never come here; their SQL goes through DataLink in its own dialect. This is for
// the code that builds databases (the schema module, the command-line tool, tests and
// benchmarks), which writes the engine's SQL directly and binds its values as parameters.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ksmain/variant.h"

namespace ksmain::data {

class Session;

// All rows of an engine-native query on `session`, each a vector of its values in their
// kinds.
std::vector<std::vector<Variant>> NativeRows(Session& session, std::string_view sql,
                                             std::span<const Variant> params = {});

class EngineDatabase {
 public:
  // A new database file; an existing file is refused unless it is empty.
  static EngineDatabase Create(const std::string& path);
  // An existing database file (never created).
  static EngineDatabase Open(const std::string& path);
  // True when `location` names a server database (an ODBC string) rather than a file.
  static bool IsServer(const std::string& location);
  bool server() const { return server_; }

  EngineDatabase(EngineDatabase&&) noexcept;
  EngineDatabase& operator=(EngineDatabase&&) noexcept;
  ~EngineDatabase();

  // Statements separated by ";", no parameters.
  void Script(std::string_view sql);
  // One statement with positional parameters (?1, ?2, ... or ?; ? only on a server);
  // returns the rows changed.
  std::int64_t Run(std::string_view sql, std::span<const Variant> params = {});
  std::int64_t Run(std::string_view sql, std::initializer_list<Variant> params) {
    return Run(sql, std::span<const Variant>(params.begin(), params.size()));
  }
  // All rows of a query, each a vector of its values in their kinds.
  std::vector<std::vector<Variant>> Rows(std::string_view sql,
                                         std::span<const Variant> params = {});
  std::vector<std::vector<Variant>> Rows(std::string_view sql,
                                         std::initializer_list<Variant> params) {
    return Rows(sql, std::span<const Variant>(params.begin(), params.size()));
  }
  // The first value of the first row; Empty when there is none.
  Variant Scalar(std::string_view sql, std::initializer_list<Variant> params = {});
  // The key the engine generated for the last insert.
  std::int64_t LastInsertId();

 private:
  EngineDatabase(std::unique_ptr<Session> session, bool server);
  std::unique_ptr<Session> session_;
  bool server_ = false;
};

}  // namespace ksmain::data
