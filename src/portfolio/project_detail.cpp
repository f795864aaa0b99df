// The project form: every stored attribute of one project in a one-row grid.
#include <array>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

// The form reads the planned completion (column 5) before the planned start (column 6),
// although the SELECT lists them the other way round; pages depend on these positions.
constexpr std::array<FieldColumn, 31> kProjectFields{{
    {0, "ID"},
    {1, "nameofproject"},
    {2, "Priority"},
    {3, "ProjectNo"},
    {4, "Department"},
    {5, "EstDateCompleted"},
    {6, "EstDateStarted"},
    {7, "ActDateStarted"},
    {8, "ActDateCompleted"},
    {9, "ProjectOwner"},
    {10, "SubmittedBy"},
    {11, "Status"},
    {12, "PercentCompleted"},
    {13, "ProjectType"},
    {14, "ProjectRank"},
    {15, "EstProjectCost"},
    {16, "ActProjectCost"},
    {17, "ReviewDate"},
    {18, "SuccessRank"},
    {19, "CostRank"},
    {20, "TimeRank"},
    {21, "ImprCompanyRank"},
    {22, "ImprCustomerRank"},
    {23, "misc1"},
    {24, "misc2"},
    {25, "misc3"},
    {26, "misc4"},
    {27, "misc5"},
    {28, "comments"},
    {29, "benefits"},
    {30, "expectedresults"},
}};

}  // namespace

Variant Kestrel::Get_ProjectSpecific(Variant& arrtest, Variant& strconnect, Variant& objID) {
  // Room for exactly one project: a second row with the same id does not fit and ends the
  // call without a count.
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 1, 35);
  RunTrapped(Trap::Silent, [&] {
    std::string sql =
        "SELECT ID, NameOfProject, Priority, ProjectNo, Department, EstDateStarted, "
        "ActDateStarted, "
        "EstDateCompleted, ActDateCompleted, ProjectOwner, (select lastname from resource where "
        "id=submittedby) as SubmittedBy, Status, PercentCompleted, "
        "ProjectType, ProjectRank, EstProjectCost, ActProjectCost, ReviewDate, SuccessRank, "
        "CostRank, TimeRank, ImprCompanyRank, ImprCustomerRank, misc1, misc2, misc3, misc4, "
        "misc5, "
        "Comments , Benefits, ExpectedResults"
        " From ProjectMaster"
        " where ID = ";
    sql += sql::Bare(objID);
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kProjectFields);
  });
  return Variant();
}

}  // namespace ksmain
