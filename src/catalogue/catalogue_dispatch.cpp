// InsertTable_summary's dispatch interface, in slot order. A member joins the table when
// it exists.
#include "catalogue/register.h"
#include "frame/dispatch_bind.h"
#include "ksmain/catalogue.h"

namespace ksmain {

void InsertTable_summary::Set_year(const std::string&) {}

void RegisterInsertTableSummary() {
  ClassBuilder<InsertTable_summary>(
      ClassInfo{"InsertTable_summary", "KsMain.InsertTable_summary", "_InsertTable_summary",
                "{6F1C2A13-4B7E-4D2A-9C35-0E8B1A7D5301}",
                "{6F1C2A14-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .PropertyPut("Set_year", 0x68030000, &InsertTable_summary::Set_year, {"year"})
      .Register();
}

}  // namespace ksmain
