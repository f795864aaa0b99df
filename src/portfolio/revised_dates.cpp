// A project's history of replaced completion estimates, and the application's settings
// row for the pages' frame.
#include <array>

#include "data/datalink.h"
#include "data/grid_query.h"
#include "frame/trap.h"
#include "ksmain/kestrel.h"
#include "portfolio/record_rows.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::array<FieldColumn, 3> kRevisedDateFields{{
    {0, "id"},
    {1, "RevisedEstCompDate"},
    {2, "DateTimeValue"},
}};

constexpr std::array<FieldColumn, 3> kGlobalFields{{
    {1, "maintitle"},
    {2, "SecurityEnabled"},
    {3, "DefaultSecuritySettings"},
}};

}  // namespace

Variant Kestrel::Get_ProjectRevisedCompDates(Variant& arrRevDates, Variant& strconnect, Variant&,
                                             Variant& ProjectNum) {
  ResultGrid grid = ResultGrid::Create(arrRevDates, Orientation::RowFirst, 50, 3);
  RunTrapped(Trap::Silent, [&] {
    // The latest replaced estimate first, by the stored estimate, not by when it was noted.
    const std::string sql = "SELECT id, RevisedEstCompDate, DateTimeValue FROM projectRevisedDates"
                            " where ProjectID = " +
                            sql::Bare(ProjectNum) + " Order by " + "RevisedEstCompDate desc";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kRevisedDateFields);
  });
  return Variant();
}

Variant Kestrel::Get_GlobalVars(Variant& arrGlobals, Variant& strconnect) {
  ResultGrid grid = ResultGrid::Create(arrGlobals, Orientation::RowFirst, 1, 10);
  RunTrapped(Trap::Silent, [&] {
    data::DataLink link(strconnect, sql::Dialect::Jet);
    data::Recordset& records =
        link.Query("SELECT maintitle, SecurityEnabled,DefaultSecuritySettings from globalvars");
    // The settings row lands in row 0 itself: the counter starts there, so (0, 0) ends as
    // the number of rows minus one (0 for the one settings row, -1 for an empty table).
    std::int16_t row = 0;
    if (records.AtBof() || records.AtEof()) {
      grid.Set(0, 0, std::int16_t{0});
    } else {
      portfolio::CopyRecords(grid, records, kGlobalFields, row);
    }
    grid.Set(0, 0, static_cast<std::int16_t>(row - 1));
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
