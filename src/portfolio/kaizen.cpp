// Kaizen events: the measured improvements of projects. The catalogue of improvement
// kinds, attaching a kind to a project, a project's results with their percentage texts,
// the period report over all projects, the counters of results and steps, and the page's
// own maintenance statement.
//
// The project page and the period report show the change from the before-figure to the
// after-figure in per cent, with the same formula but different words for the odd cases:
// the page leaves an improvement without a numeric after-figure blank and shows "0" for
// such a verification, the report shows "0" for both; only the page falls back to "100%".
#include <array>
#include <optional>
#include <string>

#include "data/datalink.h"
#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::array<FieldColumn, 3> kKaizenNameFields{{
    {0, "ID"},
    {1, "KaizenEvent"},
    {2, "Units"},
}};

// ImpDiff and VerifiedDiff are copied and then replaced by the computed texts; the units
// stand after the verifier's columns.
constexpr std::array<FieldColumn, 16> kKaizenResultFields{{
    {0, "ID"},
    {1, "KaizenEventID"},
    {2, "ImpBefore"},
    {3, "ImpAfter"},
    {4, "ImpDiff"},
    {5, "VerifiedBefore"},
    {6, "VerifiedAfter"},
    {7, "VerifiedDiff"},
    {8, "VerifiedDate"},
    {9, "VerifiedBy"},
    {10, "KNotes"},
    {11, "DateTimeValue"},
    {12, "KaizenName"},
    {13, "ResID"},
    {14, "Resname"},
    {15, "KaizenUnits"},
}};

constexpr std::array<FieldColumn, 13> kKaizenReportFields{{
    {0, "KaizenEvent"},
    {1, "Units"},
    {2, "NameofProject"},
    {3, "Description"},
    {4, "ID"},
    {5, "ImpBefore"},
    {6, "ImpAfter"},
    {7, "DateTimeValue"},
    {8, "VerifiedBefore"},
    {9, "VerifiedAfter"},
    {10, "VerifiedDate"},
    {11, "FirstName"},
    {12, "LastName"},
}};

// A before-figure that is missing: Null, or a value whose text is empty.
bool IsBlank(const Variant& v) { return v.IsNull() || vb::TextEquals(v, ""); }

// The variant comparison `v = 0`; text never equals a number.
bool EqualsZero(const Variant& v) {
  const std::optional<int> order = vb::Compare(v, Variant(std::int32_t{0}));
  return order.has_value() && *order == 0;
}

struct PercentText {
  std::string text;
  bool numeric;  // whether the text reads as a number (grouping commas allowed)
};

// The change from `before` to `after` in per cent, as a whole number with the locale's
// grouping and minus sign. The arithmetic is the runtime's: text that is not a number
// fails with Type mismatch, a before-figure of zero with the division's own error.
PercentText PercentChange(const Variant& before, const Variant& after) {
  const double a = vb::CDbl(after);
  const double b = vb::CDbl(before);
  if (b == 0) throw VbError(a == 0 ? err::kOverflow : err::kDivisionByZero);
  const double change = -1 * (100 - (a / b) * 100);
  std::string text = vb::FormatNumber(change, 0, false, true);
  const bool numeric = vb::IsNumeric(Variant(text));
  return {std::move(text), numeric};
}

// The project page's improvement text: blank unless both figures allow a percentage.
Variant PageImprovementText(const Variant& before, const Variant& after) {
  if (IsBlank(before)) return "";
  if (EqualsZero(before) || !vb::IsNumeric(after)) return "";
  PercentText change = PercentChange(before, after);
  return change.numeric ? change.text + "%" : std::string("100%");
}

// The project page's verification text: "0" while the verified after-figure is missing.
Variant PageVerificationText(const Variant& before, const Variant& after) {
  if (IsBlank(before) || EqualsZero(before)) return "";
  if (!vb::IsNumeric(after)) return "0";
  PercentText change = PercentChange(before, after);
  return change.numeric ? change.text + "%" : change.text;
}

// The period report's text, the same for improvement and verification. A result whose
// after-figure is still awaited (Null or empty) shows "0" instead of failing the report.
Variant ReportPercentText(const Variant& before, const Variant& after) {
  if (IsBlank(before) || EqualsZero(before)) return "";
  if (IsBlank(after)) return "0";
  PercentText change = PercentChange(before, after);
  return change.numeric ? change.text + "%" : change.text;
}

}  // namespace

// The report has no error trap of its own: the page sees the failure with its number and
// description, and the grid keeps what was written before it.
Variant Kestrel::Get_rptKaizenEvents(Variant& arrtest, Variant& strconnect,
                                     Variant& strProjectStatus, Variant& objBegDate,
                                     Variant& objEndDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 500, 14);
  RunTrapped(Trap::None, [&] {
    // strProjectStatus is the kind of improvement to report, a like pattern.
    if (vb::TextEquals(strProjectStatus, "")) strProjectStatus = "%";
    const std::string sql =
        std::string("SELECT KaizenEvents.KaizenEvent, KaizenEvents.Units, "
                    "ProjectMaster.NameOfProject, Status.Description, ProjectMaster.ID, "
                    "KaizenResults.ImpBefore, KaizenResults.ImpAfter, "
                    "KaizenResults.DateTimeValue, KaizenResults.VerifiedBefore, "
                    "KaizenResults.VerifiedAfter, KaizenResults.VerifiedDate, "
                    "Resource.FirstName, Resource.LastName") +
        " FROM Status INNER JOIN (((KaizenResults INNER JOIN ProjectMaster ON "
        "KaizenResults.ProjectID = ProjectMaster.ID) LEFT JOIN Resource ON "
        "KaizenResults.VerifiedBy = Resource.ID) INNER JOIN KaizenEvents ON "
        "KaizenResults.KaizenEventID = KaizenEvents.ID) ON Status.ID = ProjectMaster.Status " +
        " where cdate(DateTimeValue) between cdate('" + sql::Quoted(objBegDate) +
        "') and cdate('" + sql::Quoted(objEndDate) +
        "') and kaizenresults.kaizenEventID like '" + sql::Quoted(strProjectStatus) + "'" +
        " order by KaizenEvent,NameOfProject";
    grid.Set(0, 1, sql);
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kKaizenReportFields,
                        [&](std::int16_t row, const RecordSource& record) {
                          grid.Set(row, 13, ReportPercentText(record.Field("ImpBefore"),
                                                              record.Field("ImpAfter")));
                          grid.Set(row, 14, ReportPercentText(record.Field("VerifiedBefore"),
                                                              record.Field("VerifiedAfter")));
                        });
  });
  return Variant();
}

Variant Kestrel::Get_KaizenNames(Variant& arrtest, Variant& strconnect, Variant& strProjectID) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 50, 3);
  RunTrapped(Trap::Silent, [&] {
    // With a project, the kinds it already records are left out. A Null project counts
    // as no project.
    const bool for_project = !strProjectID.IsNull() && !vb::TextEquals(strProjectID, "");
    const std::string sql =
        for_project ? "SELECT id, kaizenevent, units from kaizenevents  where  NOT id  in "
                      "(select distinct KaizenEventID from kaizenresults where projectid=" +
                          sql::Bare(strProjectID) + ") order by kaizenevent"
                    : std::string("SELECT id, kaizenevent, units from kaizenevents  order by "
                                  "kaizenevent");
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kKaizenNameFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

// Attaches a kind of improvement to a project with an empty result row dated today. The
// page learns of success by finding "OK" in its projectID variable.
Variant Kestrel::InsertKaizenEventsToProject(Variant& projectID, Variant& kid,
                                             Variant& strconnect) {
  RunTrapped(Trap::Silent, [&] {
    const std::string today = vb::CStr(Variant::FromDate(vb::Today()));
    const std::string sql =
        "insert into kaizenresults (projectid, kaizenEventid, datetimevalue) values (" +
        sql::Bare(projectID) + "," + sql::Bare(kid) + ",'" + today + "')";
    data::DataLink link(strconnect, sql::Dialect::Jet);
    link.Run(sql);
    projectID = "OK";
    link.Close();
  });
  return Variant();
}

Variant Kestrel::GetKaizenResults(Variant& arrtest, Variant& projectID, Variant& strconnect) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 50, 15);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        std::string("SELECT ID, ProjectID, KaizenEventID, ImpBefore, ImpAfter, ImpDiff, "
                    "VerifiedBefore, VerifiedAfter, VerifiedDiff, VerifiedDate, ") +
        " VerifiedBy, KNotes, DateTimeValue, (SELECT kaizenevent from kaizenevents where "
        "id=kaizenEventID ) as KaizenName, (SELECT units from kaizenevents where "
        "id=kaizenEventID ) as KaizenUnits, (select  id from resource where id=verifiedby) as "
        "resID, (select  lastname+' '+firstname from resource where id=verifiedby) as resname "
        "FROM KaizenResults where ProjectID =" +
        sql::Bare(projectID);
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kKaizenResultFields,
                        [&](std::int16_t row, const RecordSource& record) {
                          grid.Set(row, 4, PageImprovementText(record.Field("ImpBefore"),
                                                               record.Field("ImpAfter")));
                          grid.Set(row, 7, PageVerificationText(record.Field("VerifiedBefore"),
                                                                record.Field("VerifiedAfter")));
                        });
    grid.Set(0, 1, sql);
  });
  return Variant();
}

// KCount keeps the caller's value unless the count query returns its record.
Variant Kestrel::CountKaizenEvents(Variant& KCount, Variant& PID, Variant& strconnect) {
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        "SELECT count(id) as KCount from KaizenResults where projectID=" + sql::Bare(PID);
    data::DataLink link(strconnect, sql::Dialect::Jet);
    data::Recordset& records = link.Query(sql);
    if (!records.AtBof() && !records.AtEof()) KCount = records.Field("KCount");
    link.Close();
  });
  return Variant();
}

// Runs the statement the page built in full: one statement, any that the database
// accepts, translated from the page's dialect like every other. "OK" tells the page it
// ran; rows it may return are not read.
Variant Kestrel::ManageKaizenEvents(Variant& strSQL, Variant& strconnect, Variant& result) {
  RunTrapped(Trap::Silent, [&] {
    const std::string statement = vb::CStr(strSQL);
    sql::RequireSingleStatement(statement);
    data::DataLink link(strconnect, sql::Dialect::Jet);
    link.Run(statement);
    result = "OK";
    link.Close();
  });
  return Variant();
}

// Every record of the outer query carries the same two counts; only the first is read.
// A project without steps returns no record and both counts stay "0".
Variant Kestrel::CountProjectSteps(Variant& TotCount, Variant& ActCount, Variant& PID,
                                   Variant& strconnect) {
  RunTrapped(Trap::Silent, [&] {
    const std::string pid = sql::Bare(PID);
    const std::string sql = "SELECT projectID, (select count(id) from ProjectSteps where projectID=" +
                            pid + ") as TotCount, " +
                            "  (select count(id) from ProjectSteps where projectID=" + pid +
                            " and status=1) as ActiveCount " +
                            " from ProjectSteps where projectID=" + pid;
    data::DataLink link(strconnect, sql::Dialect::Jet);
    data::Recordset& records = link.Query(sql);
    TotCount = "0";
    ActCount = "0";
    if (!records.AtBof() && !records.AtEof()) {
      TotCount = records.Field("TotCount");
      ActCount = records.Field("ActiveCount");
    }
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
