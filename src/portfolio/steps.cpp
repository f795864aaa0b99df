// The steps of one project and the extra resources of one step.
//
// The two step lists differ only in what an empty status filter means: every step, or
// every step but the deleted ones (status 6).
#include <array>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kRowBound = 70;

constexpr std::array<FieldColumn, 17> kStepFields{{
    {0, "Id"},
    {1, "StepName"},
    {2, "ProjectID"},
    {3, "ResourceID"},
    {4, "EstTime"},
    {5, "ActTime"},
    {6, "EstCost"},
    {7, "ActCost"},
    {8, "EstStartDate"},
    {9, "ActStartDate"},
    {10, "EstCompletionDate"},
    {11, "ActCompletionDate"},
    {12, "Status"},
    {13, "Misc1"},
    {14, "Misc2"},
    {15, "Description"},
    {16, "PercentCompleted"},
}};

constexpr std::array<FieldColumn, 10> kStepResourceFields{{
    {0, "Id"},
    {1, "ProjectStepID"},
    {2, "ResourceID"},
    {3, "misc1"},
    {4, "misc2"},
    {5, "RID"},
    {6, "FirstName"},
    {7, "LastName"},
    {8, "Department"},
    {9, "DepartMentname"},
}};

// An empty step key means every step; the caller's variable keeps the "%".
void DefaultStepPattern(Variant& objStepID) {
  if (vb::TextEquals(objStepID, "")) objStepID = "%";
}

// `empty_status_filter` is what an empty StatusCode selects.
Variant RunStepList(Variant& arrtest, Variant& objProjID, Variant& objStepID,
                    const Variant& strconnect, const Variant& StatusCode,
                    const char* empty_status_filter) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kRowBound, 18);
  RunTrapped(Trap::Silent, [&] {
    DefaultStepPattern(objStepID);
    // Only the date part of the planned start counts, both in the grid and for the order.
    std::string sql =
        "SELECT ID, StepName, ProjectID, ResourceID, EstTime, ActTime, EstCost, ActCost, "
        "datevalue(eststartdate)  as eststartdate, ActStartDate, EstCompletionDate, "
        "ActCompletionDate, Status, Misc1, "
        "Misc2, Description, PercentCompleted FROM ProjectSteps where projectid = ";
    sql += sql::Bare(objProjID);
    sql += " and id like '";
    sql += sql::Quoted(objStepID);
    sql += "' ";
    if (vb::TextEquals(StatusCode, "")) {
      sql += empty_status_filter;
    } else {
      sql += " and status like '" + sql::Quoted(StatusCode) + "' ";
    }
    sql += " order by datevalue(eststartdate)";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kStepFields);
  });
  return Variant();
}

}  // namespace

Variant Kestrel::Get_ProjectStepsNotDeleted(Variant& arrtest, Variant& objProjID,
                                            Variant& objStepID, Variant& strconnect,
                                            Variant& StatusCode) {
  return RunStepList(arrtest, objProjID, objStepID, strconnect, StatusCode,
                     " and not status like '6' ");
}

Variant Kestrel::Get_ProjectSteps(Variant& arrtest, Variant& objProjID, Variant& objStepID,
                                  Variant& strconnect, Variant& StatusCode) {
  return RunStepList(arrtest, objProjID, objStepID, strconnect, StatusCode,
                     " and status like '%' ");
}

Variant Kestrel::Get_ProjectStepsResources(Variant& arrtest, Variant& objStepID,
                                           Variant& strconnect) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kRowBound, 9);
  RunTrapped(Trap::Silent, [&] {
    // The "%" an empty key turns into is no step key; the statement is then refused, but
    // the caller's variable keeps the "%" as pages have always seen.
    DefaultStepPattern(objStepID);
    const std::string sql =
        "SELECT ProjectStepResources.ID, ProjectStepResources.ProjectStepID, "
        "ProjectStepResources.ResourceID, ProjectStepResources.misc1, "
        "ProjectStepResources.misc2,"
        " Resource.ID as RID, Resource.FirstName, Resource.LastName, Resource.Department, "
        "Department.DepartmentName"
        " FROM (Resource INNER JOIN ProjectStepResources ON Resource.ID = "
        "ProjectStepResources.ResourceID) INNER JOIN Department ON Resource.Department = "
        "Department.ID "
        "where projectstepid = " +
        sql::Bare(objStepID);
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kStepResourceFields);
  });
  return Variant();
}

}  // namespace ksmain
