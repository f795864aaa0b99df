// The who-needs-help report: the steps a person carries out in projects that somebody else
// owns, with the owner's name, so the person sees whose projects wait for them.
#include <array>
#include <string>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

// The names are the owner's (the join goes through ProjectOwner); the last name stands
// before the first name on this report.
constexpr std::array<FieldColumn, 7> kHelpFields{{
    {0, "NameofProject"},
    {1, "StepName"},
    {2, "SID"},
    {3, "PID"},
    {4, "LastName"},
    {5, "FirstName"},
    {6, "stepstatusdescription"},
}};

}  // namespace

// strProjType is the key of the person whose help is reported; strProjectStatus takes no
// part in the query but its "all" marker is still turned into "%" for the page.
Variant Kestrel::Get_rptWhoNeedsHelpFrom(Variant& arrtest, Variant& strconnect,
                                         Variant& strProjType, Variant& strProjectStatus,
                                         Variant& strStepStatus) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 50, 8);
  RunTrapped(Trap::Silent, [&] {
    if (vb::TextEquals(strProjectStatus, "Z")) strProjectStatus = "%";
    if (vb::TextEquals(strStepStatus, "Z")) strStepStatus = "%";
    const std::string sql =
        std::string("SELECT ProjectMaster.NameOfProject, ProjectSteps.StepName, ProjectSteps.ID "
                    "AS SID, ProjectMaster.ID AS PID, Resource.FirstName, Resource.LastName, "
                    "ProjectSteps.ResourceID, ProjectMaster.ProjectOwner, [status.Description] "
                    "AS stepstatusdescription") +
        " FROM Status INNER JOIN (Resource INNER JOIN (ProjectSteps INNER JOIN ProjectMaster ON "
        "ProjectSteps.ProjectID = ProjectMaster.ID) ON Resource.ID = ProjectMaster.ProjectOwner) "
        "ON Status.ID = ProjectSteps.Status" +
        " Where Not projectowner = resourceid And resourceid = " + sql::Bare(strProjType) +
        "  and projectsteps.status like '" + sql::Quoted(strStepStatus) + "'";
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kHelpFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

}  // namespace ksmain
