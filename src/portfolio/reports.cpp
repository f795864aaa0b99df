// The time-period reports: review meetings with one person's attendance, projects and
// project steps whose estimated period overlaps the report period, and the projects
// closed within it.
//
// The report period arrives as the page's date texts. Three reports hand them to the
// database's cdate() inside the statement; the closed-projects report applies the period
// itself, record by record, with the runtime's date conversion, so a completion date the
// database holds as something other than a date is skipped instead of failing the report.
#include <array>
#include <functional>
#include <string>

#include "data/datalink.h"
#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kReportRows = 500;

constexpr std::array<FieldColumn, 2> kMeetingFields{{
    {0, "plannedreviewdate"},
    {1, "actualreviewdate"},
}};

constexpr std::array<FieldColumn, 9> kProjectFields{{
    {0, "NameOfProject"},
    {1, "EstDateStarted"},
    {2, "EstDateCompleted"},
    {3, "FirstName"},
    {4, "LastName"},
    {5, "DepartmentName"},
    {6, "Description"},
    {7, "PercentCompleted"},
    {8, "TypeDescription"},
}};

// Column 5 stays empty and the status stands before the step name, as the report page
// lays the columns out.
constexpr std::array<FieldColumn, 8> kStepFields{{
    {0, "NameOfProject"},
    {1, "EstStartDate"},
    {2, "EstCompletionDate"},
    {3, "FirstName"},
    {4, "LastName"},
    {6, "Statusdescription"},
    {7, "StepName"},
    {8, "TypeDescription"},
}};

constexpr std::array<FieldColumn, 9> kClosedProjectFields{{
    {0, "NameOfProject"},
    {1, "ActDateStarted"},
    {2, "ActDateCompleted"},
    {3, "FirstName"},
    {4, "LastName"},
    {5, "DepartmentName"},
    {6, "Description"},
    {7, "PercentCompleted"},
    {8, "TypeDescription"},
}};

// The three project reports select every type when the page leaves the type empty and
// otherwise compare with the type's key; each report words its clause its own way.
struct TypeClause {
  const char* all;
  const char* equal_open;
  const char* equal_close;
};

constexpr TypeClause kProjectsType{" where (ProjectType like '%') ", " where (ProjectType = ", ")"};
constexpr TypeClause kStepsType{" where ((ProjectType like '%')", " where ((ProjectType = ", ")"};
constexpr TypeClause kClosedType{" and  (ProjectType like '%') ", " and   (ProjectType = ", ")"};

std::string ProjectTypeClause(const TypeClause& clause, const Variant& objProjType) {
  if (vb::TextEquals(objProjType, "")) return clause.all;
  return clause.equal_open + sql::Bare(objProjType) + clause.equal_close;
}

// Rows whose estimated period [start, completion] overlaps [B, E]: one end inside the
// period, or the whole period inside the row's. The column names are spelled as each
// report has always spelled them (pages read the statement back).
struct PeriodColumns {
  const char* start;
  const char* completion;
  const char* enclosing_completion;  // the spelling in the enclosing-period test
};

constexpr PeriodColumns kProjectPeriod{"estDateStarted", "estDateCompleted", "EstDateCompleted"};
constexpr PeriodColumns kStepPeriod{"EstStartDate", "EstCompletionDate", "EstCompletionDate"};

std::string OverlapCondition(const PeriodColumns& columns, const Variant& beg, const Variant& end) {
  const std::string b = sql::Quoted(beg);
  const std::string e = sql::Quoted(end);
  const std::string start = columns.start;
  return " and (((cdate(" + start + ") between cdate('" + b + "') and cdate('" + e +
         "')) or (cdate(" + columns.completion + ") between cdate('" + b + "') and cdate('" + e +
         "')))" + " OR  (cdate(" + start + ") < cdate('" + b + "') AND cdate(" +
         columns.enclosing_completion + ") > cdate('" + e + "'))) ";
}

// A recordset seen through a filter: records the filter refuses are passed over, so the
// standard fill procedure copies the accepted ones into consecutive rows.
class FilteredRecords final : public RecordSource {
 public:
  FilteredRecords(RecordSource& records, std::function<bool(const RecordSource&)> accept)
      : records_(records), accept_(std::move(accept)) {}

  bool AtBof() const override { return records_.AtBof(); }
  bool AtEof() const override {
    SkipRefused();
    return records_.AtEof();
  }
  Variant Field(std::string_view name) const override { return records_.Field(name); }
  void MoveNext() override { records_.MoveNext(); }

 private:
  // The filter runs when the fill procedure asks for the next record, which is after the
  // previous row was copied: a filter that fails keeps the rows before it.
  void SkipRefused() const {
    while (!records_.AtEof() && !accept_(records_)) records_.MoveNext();
  }

  RecordSource& records_;
  std::function<bool(const RecordSource&)> accept_;
};

}  // namespace

Variant Kestrel::Get_rptMeetingAttendance(Variant& arrtest, Variant& strconnect,
                                          Variant& strResourceID, Variant& objBegDate,
                                          Variant& objEndDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kReportRows, 8);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        std::string("SELECT distinct  cdate(Attendees.PlannedReviewDate) as plannedreviewdate, "
                    "attendees.actualreviewdate fROM Attendees") +
        " where cdate(plannedreviewdate) between cdate('" + sql::Quoted(objBegDate) +
        "') and cdate('" + sql::Quoted(objEndDate) + "') order by cdate(plannedreviewdate)";
    // Set once: when the attendance check ends early on an error of its own, the row
    // shows the answer of the meeting before.
    Variant attended = "";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kMeetingFields,
                        [&](std::int16_t row, const RecordSource& record) {
                          Variant actual_date = record.Field("actualreviewdate");
                          Get_ResourceAttendedMeeting(strResourceID, actual_date, strconnect,
                                                      attended);
                          grid.Set(row, 2, attended);
                        });
    grid.Set(0, 1, sql);
  });
  return Variant();
}

Variant Kestrel::Get_rptProjectsByTimePeriod(Variant& arrtest, Variant& strconnect,
                                             Variant& objProjType, Variant& objBegDate,
                                             Variant& objEndDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kReportRows, 9);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        std::string("SELECT ProjectMaster.NameOfProject, ProjectMaster.EstDateStarted, "
                    "ProjectMaster.EstDateCompleted, Resource.FirstName, Resource.LastName, "
                    "Department.DepartmentName, Status.Description, "
                    "ProjectMaster.PercentCompleted, Type.TypeDescription") +
        " FROM Type INNER JOIN (Resource INNER JOIN (Status INNER JOIN (Department INNER JOIN "
        "ProjectMaster ON Department.ID = ProjectMaster.Department) ON Status.ID = "
        "ProjectMaster.Status) ON Resource.ID = ProjectMaster.ProjectOwner) ON Type.ID = "
        "ProjectMaster.ProjectType" +
        ProjectTypeClause(kProjectsType, objProjType) +
        OverlapCondition(kProjectPeriod, objBegDate, objEndDate) +
        " Order by typeDescription, description";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kProjectFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

Variant Kestrel::Get_rptActiveClosedStepsByproject(Variant& arrtest, Variant& strconnect,
                                                   Variant& objProjType, Variant& objBegDate,
                                                   Variant& objEndDate, Variant& objStatus) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kReportRows, 9);
  RunTrapped(Trap::Silent, [&] {
    // The type clause opened one more parenthesis; the status clause closes it. The
    // status words compare exactly: "active" asks for both kinds of step.
    std::string status_clause;
    if (vb::TextEquals(objStatus, "Active")) {
      status_clause = " and ( status.description  = 'Active')) ";
    } else if (vb::TextEquals(objStatus, "Closed")) {
      status_clause = " and ( status.description  = 'Closed')) ";
    } else {
      status_clause =
          " and (( status.description  = 'Closed') or (status.description = 'Active'))) ";
    }
    const std::string sql =
        std::string("SELECT ProjectMaster.NameOfProject, Projectsteps.EstStartDate, "
                    "Projectsteps.EstCompletionDate, Resource.FirstName, Resource.LastName,  "
                    "Projectsteps.stepname,  Type.TypeDescription ,status.description as "
                    "StatusDescription") +
        " FROM (Type INNER JOIN (Resource INNER JOIN (ProjectSteps INNER JOIN ProjectMaster ON "
        "ProjectSteps.ProjectID = ProjectMaster.ID) ON Resource.ID = ProjectSteps.ResourceID) "
        "ON Type.ID = ProjectMaster.ProjectType) INNER JOIN Status ON ProjectSteps.Status = "
        "Status.ID " +
        ProjectTypeClause(kStepsType, objProjType) + status_clause +
        OverlapCondition(kStepPeriod, objBegDate, objEndDate) +
        " Order by typeDescription, status.description , nameofproject, "
        "cdate(estCompletionDate)";
    // Stored before the database is opened: the page finds the statement even when it
    // fails.
    grid.Set(0, 1, sql);
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kStepFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

Variant Kestrel::Get_rptClosedProjectsByTimePeriod(Variant& arrtest, Variant& strconnect,
                                                   Variant& objProjType, Variant& objBegDate,
                                                   Variant& objEndDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kReportRows, 9);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        std::string("SELECT ProjectMaster.NameOfProject, projectmaster.actdatestarted, "
                    "projectmaster.actdateCompleted, Resource.FirstName, Resource.LastName, ") +
        "Department.DepartmentName, Status.Description, ProjectMaster.PercentCompleted, "
        "Type.TypeDescription, projectmaster.Projecttype " +
        " FROM Type INNER JOIN (Resource INNER JOIN (Status INNER JOIN (Department INNER JOIN "
        "ProjectMaster ON Department.ID=ProjectMaster.Department) ON "
        "Status.ID=ProjectMaster.Status) " +
        " ON Resource.ID=ProjectMaster.ProjectOwner) ON Type.ID=ProjectMaster.ProjectType" +
        " where    status=2" + ProjectTypeClause(kClosedType, objProjType) +
        " Order by TypeDescription ";
    grid.Set(0, 1, sql);

    // Status 2 is the closed status. A completion date that is not a date takes no row;
    // the period's own texts are converted only for records that need them, so a period
    // the runtime cannot read fails the report at the first dated record. Both ends are
    // included, and a time of day in the completion date counts.
    data::DataLink link(strconnect, sql::Dialect::Jet);
    FilteredRecords closed_in_period(link.Query(sql), [&](const RecordSource& record) {
      const Variant completed = record.Field("ActDateCompleted");
      if (!vb::IsDate(completed)) return false;
      const double when = vb::CDate(completed);
      return when >= vb::CDate(objBegDate) && when <= vb::CDate(objEndDate);
    });
    FillGrid(grid, closed_in_period, kClosedProjectFields);
    grid.Set(0, 1, sql);
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
