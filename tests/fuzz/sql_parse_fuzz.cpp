// libFuzzer target: any byte string through the SQL front end and the value checks.
// The only acceptable failures are SqlError and the runtime's own VbError; anything else
// (a crash, a sanitizer report, another exception) is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sql/safety.h"
#include "sql/translate.h"

namespace {

const ksmain::sql::MemoryCatalog& Catalog() {
  static const ksmain::sql::MemoryCatalog catalog = [] {
    using ksmain::sql::ColumnType;
    ksmain::sql::MemoryCatalog c(1);
    c.Add({"ProjectMaster",
           {{"ID", ColumnType::Long}, {"NameOfProject", ColumnType::String}, {"ProjectOwner", ColumnType::Long},
            {"EstDateStarted", ColumnType::Date}, {"ProjectRank", ColumnType::Double},
            {"Status", ColumnType::Long}}});
    c.Add({"Resource", {{"ID", ColumnType::Long}, {"FirstName", ColumnType::String},
                        {"LastName", ColumnType::String}, {"Department", ColumnType::Long}}});
    c.Add({"Status", {{"id", ColumnType::Long}, {"description", ColumnType::String}}});
    c.Add({"entries", {{"ID", ColumnType::Long}, {"Title", ColumnType::String}, {"Image1", ColumnType::String},
                       {"ExpireDate", ColumnType::Date}, {"CategoryId", ColumnType::Long}}});
    return c;
  }();
  return catalog;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (auto dialect : {ksmain::sql::Dialect::Jet, ksmain::sql::Dialect::TSql}) {
    try {
      ksmain::sql::Translate(text, dialect, Catalog());
    } catch (const ksmain::VbError&) {
    }
  }
  try {
    ksmain::sql::OrderList(ksmain::Variant(text));
  } catch (const ksmain::VbError&) {
  }
  try {
    ksmain::sql::Bare(ksmain::Variant(text));
  } catch (const ksmain::VbError&) {
  }
  try {
    ksmain::sql::RequireSingleStatement(text);
  } catch (const ksmain::VbError&) {
  }
  return 0;
}
