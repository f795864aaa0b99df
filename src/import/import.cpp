// The import's sequence: open both ends, check the destination, then one table at a time.
#include "import/import.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

#include "data/connection_string.h"
#include "frame/vb_runtime.h"
#include "import/convert.h"
#include "import/destination.h"
#include "import/embedded_source.h"
#include "import/mdb/access_source.h"
#include "import/server_end.h"
#include "ksmain/error.h"
#include "schema/schema.h"

namespace ksmain::import {
namespace {

// The catalogue keeps its stored procedures in this table; the schema brings its own rows,
// so an import into the schema neither counts them as data nor copies a source's over them.
constexpr const char* kProcedureTable = "ks_procedures";

constexpr std::int64_t kProgressEvery = 500;

bool SameName(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

// A server database is named by an ODBC connection string (its driver or data source).
bool IsConnectionString(const std::string& text) { return data::NamesOdbcDriver(text); }

bool FileHasContent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

std::unique_ptr<Source> OpenSource(const std::string& source) {
  if (IsConnectionString(source)) return OpenServerSource(source);
  if (!FileHasContent(source)) throw std::runtime_error("source '" + source + "' does not exist or is empty");
  if (LooksLikeAccessFile(source)) return OpenAccessFile(source);
  if (LooksLikeEmbeddedFile(source)) return OpenEmbeddedSource(source);
  throw std::runtime_error("source '" + source + "' is neither an Access file nor an embedded database");
}

const char* SchemaName(SchemaKind kind) { return kind == SchemaKind::Portfolio ? "portfolio" : "catalogue"; }

// The table every database of the schema has; its absence means the schema is not there.
const char* SchemaMarker(SchemaKind kind) { return kind == SchemaKind::Portfolio ? "ProjectMaster" : "entries"; }

std::string RowName(std::int64_t row, const TableShape& shape, const std::vector<Variant>& values) {
  std::string name = "row " + std::to_string(row);
  if (!shape.columns.empty() && !values.empty() && !values[0].IsNull()) {
    try {
      std::string key = vb::CStr(values[0]);
      if (key.size() <= 40 && shape.columns[0].kind != ColumnKind::Blob) {
        name += " (" + shape.columns[0].name + " = " + key + ")";
      }
    } catch (const VbError&) {
    }
  }
  return name;
}

class TableFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One source table into its destination table, in one transaction.
void ImportTable(Source& source, Destination& dest, const TableShape& shape,
                 const std::optional<TableShape>& existing, bool schema, const Options& options,
                 TableReport& report) {
  TableShape target = existing ? *existing : shape;
  report.destination = target.name;
  // Source column index -> destination column, matched without regard to case.
  std::vector<int> source_index;
  std::vector<Column> columns;
  for (std::size_t i = 0; i < shape.columns.size(); ++i) {
    auto it = std::find_if(target.columns.begin(), target.columns.end(),
                           [&](const Column& c) { return SameName(c.name, shape.columns[i].name); });
    if (it == target.columns.end()) {
      report.source_only.push_back(shape.columns[i].name);
      continue;
    }
    source_index.push_back(static_cast<int>(i));
    columns.push_back(*it);
  }
  for (const Column& c : target.columns) {
    if (std::none_of(shape.columns.begin(), shape.columns.end(),
                     [&](const Column& s) { return SameName(s.name, c.name); })) {
      report.destination_only.push_back(c.name);
    }
  }
  // Copying as-is into a table that exists already must not drop a column's values.
  if (!schema && !report.source_only.empty()) {
    throw TableFailure("table '" + shape.name + "': the destination's table has no column '" +
                       report.source_only.front() + "'");
  }

  dest.Begin();
  std::int64_t row_number = 0;
  std::vector<Variant> row;
  std::vector<Variant> values(columns.size());
  try {
    if (!existing) dest.CreateTable(target);
    dest.PrepareInsert(target, columns);
    std::unique_ptr<RowReader> reader = source.Read(shape);
    while (true) {
      ++row_number;
      row.clear();  // a row that fails to read names no key of the row before it
      if (!reader->Next(row)) break;
      ++report.read;
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const Variant& in = row[static_cast<std::size_t>(source_index[c])];
        try {
          Converted out = ConvertValue(in, columns[c].kind, shape.columns[source_index[c]].name);
          if (out.changed) ++report.converted;
          values[c] = std::move(out.value);
        } catch (const ValueError&) {
          ++report.refused;
          throw;
        }
      }
      try {
        dest.Insert(values);
      } catch (const ValueError&) {
        ++report.refused;  // a value this destination's column cannot hold
        throw;
      } catch (const VbError& e) {
        throw TableFailure("table '" + shape.name + "', " + RowName(row_number, shape, row) +
                           ": the destination refused the row: " + e.description());
      }
      ++report.written;
      if (options.progress && report.written % kProgressEvery == 0) options.progress(shape.name, report.written);
    }
    dest.Commit();
  } catch (const ValueError& e) {
    dest.Rollback();
    report.written = 0;
    throw TableFailure("table '" + shape.name + "', " + RowName(row_number, shape, row) + ", column '" +
                       e.column() + "': " + e.what());
  } catch (const TableFailure&) {
    dest.Rollback();
    report.written = 0;
    throw;
  } catch (const std::exception& e) {
    dest.Rollback();
    report.written = 0;
    throw TableFailure("table '" + shape.name + "': " + e.what());
  }
  if (options.progress) options.progress(shape.name, report.written);
}

}  // namespace

Report Run(const Options& options) {
  const bool server = IsConnectionString(options.destination);
  // Reading a table while appending to it would never reach its end.
  std::error_code ec;
  if (server ? options.source == options.destination
             : std::filesystem::equivalent(options.source, options.destination, ec)) {
    throw std::runtime_error("source and destination are the same database");
  }
  std::unique_ptr<Source> source = OpenSource(options.source);
  std::vector<TableShape> tables = source->Tables();

  // A server database is made by the server's administration; it counts as fresh while it
  // holds no tables, as a file does while it is missing or empty.
  std::unique_ptr<Destination> dest;
  bool fresh = false;
  if (server) {
    dest = OpenServerDestination(options.destination);
    fresh = dest->Tables().empty();
  } else {
    fresh = !FileHasContent(options.destination);
  }
  if (options.schema && fresh) {
    // The schema as `ksmain init` makes it, procedures included.
    if (*options.schema == SchemaKind::Portfolio) {
      schema::CreatePortfolioDatabase(options.destination, false);
    } else {
      schema::CreateCatalogueDatabase(options.destination, false);
    }
  }
  if (!dest) dest = OpenEmbeddedDestination(options.destination);
  if (!fresh) {
    for (const std::string& table : dest->Tables()) {
      if (SameName(table, kProcedureTable) || dest->RowCount(table) == 0) continue;
      if (!options.append) {
        throw std::runtime_error("destination '" + options.destination + "' already holds rows (table '" +
                                 table + "'); add --append to add to them");
      }
      break;
    }
  }
  if (options.schema && !dest->Find(SchemaMarker(*options.schema))) {
    throw std::runtime_error("destination '" + options.destination + "' does not hold the " +
                             SchemaName(*options.schema) + " schema");
  }

  Report report;
  std::vector<std::string> filled;
  for (const TableShape& shape : tables) {
    std::optional<TableShape> existing = dest->Find(shape.name);
    if (options.schema) {
      if (SameName(shape.name, kProcedureTable)) continue;
      if (!existing) {
        report.source_only.push_back(shape.name);
        continue;
      }
      filled.push_back(Lower(existing->name));
    }
    TableReport table;
    table.source = table.destination = shape.name;
    report.tables.push_back(std::move(table));
    try {
      ImportTable(*source, *dest, shape, existing, options.schema.has_value(), options, report.tables.back());
    } catch (const TableFailure& e) {
      report.failure = e.what();
      return report;
    }
  }
  if (options.schema) {
    for (const std::string& table : dest->Tables()) {
      if (SameName(table, kProcedureTable)) continue;
      if (std::find(filled.begin(), filled.end(), Lower(table)) == filled.end()) {
        report.destination_only.push_back(table);
      }
    }
  }
  return report;
}

}  // namespace ksmain::import
