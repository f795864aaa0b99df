// Review meetings: the list of meetings (distinct pairs of planned and actual review date)
// and the people recorded for one meeting.
//
// A meeting is no table of its own; it is the set of Attendees rows sharing both dates.
#include <array>

#include "data/datalink.h"
#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/record_rows.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

// The attendee grid keeps its first four columns free; pages place the names from column 4.
constexpr std::array<FieldColumn, 4> kAttendeeFields{{
    {4, "Firstname"},
    {5, "Lastname"},
    {6, "RID"},
    {7, "department"},
}};

constexpr std::array<FieldColumn, 2> kReviewDateFields{{
    {1, "PlannedReviewDate"},
    {2, "ActualReviewDate"},
}};

}  // namespace

Variant Kestrel::Get_Attendees(Variant& arrtest, Variant& strconnect, Variant&,
                               Variant& strActualReviewDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 800, 9);
  RunTrapped(Trap::Silent, [&] {
    // No meeting chosen: the grid stays without a count, which pages tell apart from a
    // meeting nobody attended (count 0).
    if (vb::TextEquals(strActualReviewDate, "")) return;
    // The date is compared as text with the stored one, in the form the meeting list
    // hands out.
    const std::string sql =
        "select Resource.FirstName, Resource.LastName, Resource.ID as RID, resource.department "
        "FROM Attendees inner JOIN Resource ON Attendees.AttendeeID = Resource.ID"
        "  where  actualreviewdate = '" +
        sql::Quoted(strActualReviewDate) + "'" + " Order by PlannedReviewDate, lastname";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kAttendeeFields);
  });
  return Variant();
}

Variant Kestrel::Get_ReviewDates(Variant& arrtest, Variant& strconnect, Variant&) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 800, 6);
  RunTrapped(Trap::Silent, [&] {
    data::DataLink link(strconnect, sql::Dialect::Jet);
    data::Recordset& records = link.Query(
        "SELECT distinct cdate(Attendees.PlannedReviewDate) as PlannedReviewDate, "
        "Attendees.ActualReviewDate  FROM Attendees "
        " Order by cdate(PlannedReviewDate) ");
    std::int16_t row = 1;
    if (records.AtBof() || records.AtEof()) {
      grid.Set(0, 0, std::int16_t{0});
    } else {
      // Column 0 of each row holds the empty text, written before the dates.
      portfolio::CopyRecords(grid, records, kReviewDateFields, row,
                             [&](std::int16_t r, const RecordSource&) { grid.Set(r, 0, ""); });
    }
    grid.Set(0, 0, static_cast<std::int16_t>(row - 1));
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
