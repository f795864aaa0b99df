// Bringing the tables of one database into another: an Access file or an embedded database
// into an embedded database, either copied as they are or matched to one of the library's
// schemas.
//
// Each table is written in one transaction. The first value that cannot be read or held
// stops the import at its table: that table is rolled back (the destination is as it was
// before it), the tables before it stay, and the report names the table, the row and the
// column with the value.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ksmain::import {

enum class SchemaKind { Portfolio, Catalogue };

struct Options {
  std::string source;
  std::string destination;
  std::optional<SchemaKind> schema;
  // Without it a destination that already holds rows is refused.
  bool append = false;
  // Called as rows are written (every so many rows and at a table's end).
  std::function<void(const std::string& table, std::int64_t rows)> progress;
};

struct TableReport {
  std::string source;       // the table's name in the source
  std::string destination;  // and in the destination
  std::int64_t read = 0;
  std::int64_t written = 0;
  std::int64_t converted = 0;  // values whose kind changed on the way
  std::int64_t refused = 0;    // values the destination could not take
  std::vector<std::string> source_only;       // source columns with no destination column
  std::vector<std::string> destination_only;  // destination columns the source lacks
};

struct Report {
  std::vector<TableReport> tables;  // in the order they were imported
  std::vector<std::string> source_only;       // source tables the schema lacks
  std::vector<std::string> destination_only;  // schema tables no source table filled
  std::string failure;  // empty when every table came in
};

// Runs the import. Problems found before any table is written (a source that cannot be
// opened, a destination with rows, a server connection string) raise std::runtime_error;
// a failure at a table is returned in the report's `failure`.
Report Run(const Options& options);

}  // namespace ksmain::import
