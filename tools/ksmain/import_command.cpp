// The import command: runs the import and prints what became of each table.
#include "import_command.h"

#include <chrono>
#include <iomanip>
#include <ostream>

#include "import/import.h"

namespace ksmain::tool {
namespace {

void List(std::ostream& out, const std::string& title, const std::vector<std::string>& names) {
  if (names.empty()) return;
  out << "  " << title << ":";
  for (std::size_t i = 0; i < names.size(); ++i) out << (i == 0 ? " " : ", ") << names[i];
  out << "\n";
}

}  // namespace

int Import(const std::string& source, const std::string& destination, const std::string& schema,
           bool append, std::ostream& out, std::ostream& err, bool progress) {
  import::Options options;
  options.source = source;
  options.destination = destination;
  options.append = append;
  if (schema == "portfolio") options.schema = import::SchemaKind::Portfolio;
  if (schema == "catalogue") options.schema = import::SchemaKind::Catalogue;
  if (progress) {
    options.progress = [&err](const std::string& table, std::int64_t rows) {
      err << "\r\x1b[K" << table << ": " << rows << " rows" << std::flush;
    };
  }
  const auto start = std::chrono::steady_clock::now();
  import::Report report = import::Run(options);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (progress) err << "\r\x1b[K" << std::flush;

  std::int64_t rows = 0;
  for (const import::TableReport& t : report.tables) {
    out << t.source;
    if (t.destination != t.source) out << " -> " << t.destination;
    out << ": " << t.read << " read, " << t.written << " written, " << t.converted << " converted, "
        << t.refused << " refused\n";
    List(out, "source columns not in the destination", t.source_only);
    List(out, "destination columns the source lacks", t.destination_only);
    rows += t.written;
  }
  List(out, "source tables not in the schema", report.source_only);
  List(out, "schema tables the source lacks", report.destination_only);
  out << rows << " rows in " << std::fixed << std::setprecision(2) << seconds << " s";
  if (seconds > 0) out << " (" << std::setprecision(0) << rows / seconds << " rows/s)";
  out << "\n";
  if (!report.failure.empty()) {
    err << "ksmain: import stopped at " << report.failure
        << "; that table was not written, the tables before it were\n";
    return 1;
  }
  return 0;
}

}  // namespace ksmain::tool
