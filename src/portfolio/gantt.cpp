// The Gantt chart views: the projects whose planned period touches a date range, and the
// steps of one project whose planned period touches it. Both grids are column-first, the
// orientation SortArray works on.
//
// A period touches the range when it starts inside it, ends inside it, or encloses it;
// `between` includes both ends.
#include <array>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_filters.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kProjectRowBound = 700;
constexpr std::int32_t kProjectColumnBound = 10;
constexpr std::int32_t kStepRowBound = 500;
constexpr std::int32_t kStepColumnBound = 11;

constexpr const char* kDefaultSort = "lastname, firstname, cdate(EstDateCompleted)";

constexpr std::array<FieldColumn, 10> kProjectFields{{
    {0, "nameofproject"},
    {1, "EstDateStarted"},
    {2, "EstDateCompleted"},
    {4, "ID"},
    {6, "firstname"},
    {7, "lastname"},
    {9, "DepartmentName"},
    {10, "Description"},
    {3, "projectowner"},
    {8, "NoofProjects"},
}};

constexpr std::array<FieldColumn, 12> kStepFields{{
    {0, "stepname"},
    {1, "EstStartDate"},
    {2, "EstCompletionDate"},
    {3, "ResourceID"},
    {4, "ProjectID"},
    {5, "NameofProject"},
    {6, "firstname"},
    {7, "lastname"},
    {8, "NoofProjects"},
    {9, "PRJEstDateCompleted"},
    {10, "Description"},
    {11, "stepid"},
}};

}  // namespace

Variant Kestrel::Get_ProjectListAllGanttChartView(
    Variant& arrtest, Variant& strconnect, Variant&, Variant& sortby, Variant& objStatus,
    Variant& objdept, Variant& objResource, Variant& objPriority, Variant& objStep,
    Variant& objRangeStartDate, Variant& objRangeEndDate) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::ColumnFirst, kProjectRowBound,
                                       kProjectColumnBound);
  RunTrapped(Trap::Silent, [&] {
    // Unlike the project list, an empty status is kept (and matches no project) and only
    // the status knows the "Z" for all.
    if (vb::TextEquals(sortby, "")) sortby = kDefaultSort;
    if (vb::TextEquals(objStatus, "Z")) objStatus = "%";
    for (Variant* filter : {&objdept, &objResource, &objPriority, &objStep}) {
      if (vb::TextEquals(*filter, "")) *filter = "%";
    }

    const std::string start = sql::Quoted(objRangeStartDate);
    const std::string end = sql::Quoted(objRangeEndDate);
    std::string where = FilterWhere(objStatus, objdept, objResource, objPriority, objStep);
    where += " and (cdate(EstDateStarted) between cdate('" + start + "') and cdate('" + end +
             "') or cdate(EstDateCompleted) between cdate('" + start + "') and cdate('" + end +
             "')";
    where += " OR ((cdate(EstDateStarted) < cdate('" + start +
             "')) and (cdate(EstDateCompleted) > cdate('" + end + "'))))";

    const bool closed = vb::TextEquals(objStatus, "2");
    std::string sql = kProjectSelectHead;
    sql += closed ? " Priority.PriorityDescription, Status.Description, "
                    "Department.DepartmentName,projectmaster.projectowner, resource.Noofprojects "
                  : " Priority.PriorityDescription, Status.Description, "
                    "Department.DepartmentName, projectmaster.projectowner, "
                    "resource.noofprojects ";
    sql += kProjectJoins;
    sql += where;
    if (closed) {
      sql += " Order by datevalue(ActDateCompleted) desc";
    } else {
      sql += " Order by ";
      sql += vb::ConcatText(sortby);
    }
    grid.Set(0, 1, sql);
    if (!closed) sql::OrderList(sortby);

    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kProjectFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

Variant Kestrel::Get_StepsListAllGanttChartView(Variant& arrtest, Variant& strconnect,
                                                Variant& objID, Variant& objRangeStartDate,
                                                Variant& objRangeEndDate) {
  ResultGrid grid =
      ResultGrid::Create(arrtest, Orientation::ColumnFirst, kStepRowBound, kStepColumnBound);
  RunTrapped(Trap::Silent, [&] {
    const std::string id = vb::ConcatText(objID);
    const std::string start = sql::Quoted(objRangeStartDate);
    const std::string end = sql::Quoted(objRangeEndDate);

    std::string where = " where projectsteps.projectid = " + id;
    where += " and ((cdate(EstStartDate) between cdate('" + start + "') and cdate('" + end +
             "')) or (cdate(EstCompletionDate) between cdate('" + start + "') and cdate('" +
             end + "'))";
    where += " OR ((cdate(EstStartDate) < cdate('" + start +
             "') and cdate(EstCompletionDate) > cdate('" + end + "'))))";

    std::string sql =
        "SELECT projectsteps.id as stepid, ProjectSteps.StepName, ProjectSteps.EstStartDate, "
        "ProjectSteps.EstCompletionDate, ProjectSteps.ProjectID, Resource.FirstName, "
        "Resource.LastName, ";
    sql += " Status.Description, ProjectSteps.ResourceID, Resource.NoOfProjects, (select "
           "EstDateCompleted from projectmaster where id = " +
           id + ") as PRJEstDateCompleted,  ";
    sql += " (select NameOfProject from projectmaster where id = " + id + ") as NameofProject";
    sql += " FROM (ProjectSteps INNER JOIN Resource ON ProjectSteps.ResourceID = Resource.ID) "
           "INNER JOIN Status ON ProjectSteps.Status = Status.ID";
    sql += where;
    sql += " Order by ";
    sql += "cdate(EstCompletionDate)";
    grid.Set(0, 1, sql);
    // The project id is joined bare, so it must be a number before anything is sent.
    sql::Bare(objID);

    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kStepFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

}  // namespace ksmain
