// The project list: every project with its owner, type, priority, status, department,
// dates and rank, filtered by five like-patterns and sorted as the page asks, each row
// with its ten-cell progress bar and target percentage.
#include <array>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/project_filters.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kRowBound = 500;
constexpr std::int32_t kColumnBound = 19;
constexpr std::int32_t kBarColumn = 12;
constexpr std::int32_t kTargetColumn = 13;
constexpr std::int32_t kRankColumn = 14;

constexpr const char* kDefaultSort = "projectrank desc, datevalue(EstDateStarted)";

constexpr std::array<FieldColumn, 14> kFields{{
    {0, "projectno"},
    {1, "nameofproject"},
    {2, "lastname"},
    {16, "firstname"},
    {3, "TypeDescription"},
    {4, "PriorityDescription"},
    {5, "PercentCompleted"},
    {6, "Description"},
    {7, "EstDateCompleted"},
    {8, "EstDateStarted"},
    {9, "ActDateStarted"},
    {10, "ActDateCompleted"},
    {11, "DepartmentName"},
    {15, "ID"},
}};

// Days from the reference date to the planned completion: a finished project measures
// from its actual completion, an open one from now. Null when a date is missing.
Variant RemainingDays(const Variant& act_completed, const Variant& est_completed) {
  if (est_completed.IsNull()) return Variant::Null();
  // "Finished" is any actual completion whose text is not empty.
  const bool finished = !vb::ConcatText(act_completed).empty();
  const double from = finished ? vb::CDate(act_completed) : vb::Now();
  return vb::DateDiffDays(from, vb::CDate(est_completed));
}

std::string JoinBar(const Variant& bar) {
  std::string joined;
  const VarArray& cells = bar.AsArray();
  for (std::int32_t k = 0; k < static_cast<std::int32_t>(cells.size()); ++k) {
    if (k > 0) joined += ',';
    joined += vb::ConcatText(cells.at({k}));
  }
  return joined;
}

}  // namespace

Variant Kestrel::Get_ProjectListAll(Variant& arrtest, Variant& strconnect, Variant&,
                                    Variant& sortby, const Variant& objStatus,
                                    const Variant& objdept, const Variant& objResource,
                                    const Variant& objPriority, const Variant& objStep) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kRowBound, kColumnBound);
  RunTrapped(Trap::Silent, [&] {
    if (vb::TextEquals(sortby, "")) sortby = kDefaultSort;

    Variant status = objStatus, department = objdept, owner = objResource,
            priority = objPriority, type = objStep;
    for (Variant* filter : {&status, &department, &owner, &priority, &type}) {
      if (vb::TextEquals(*filter, "") || vb::TextEquals(*filter, "Z")) *filter = "%";
    }

    std::string sql = kProjectSelectHead;
    sql += " Priority.PriorityDescription, Status.Description, Department.DepartmentName ";
    sql += kProjectJoins;
    sql += FilterWhere(status, department, owner, priority, type);
    // Closed projects are listed newest first whatever the page asked for.
    const bool closed = vb::TextEquals(status, "2");
    if (closed) {
      sql += " Order by datevalue(ActDateCompleted) desc";
    } else {
      sql += " Order by ";
      sql += vb::ConcatText(sortby);
    }
    grid.Set(0, 1, sql);
    if (!closed) sql::OrderList(sortby);

    Variant bar;
    Variant target;
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kFields,
                        [&](std::int16_t row, const RecordSource& record) {
                          // The fields the bar needs were just copied into this row.
                          Variant est_completed = grid.Cell(row, 7);
                          Variant remaining = RemainingDays(grid.Cell(row, 10), est_completed);
                          Variant percent = grid.Cell(row, 5);
                          Variant est_started = grid.Cell(row, 8);
                          CalcHorizontalBarGraphs(bar, remaining, percent, est_started,
                                                  est_completed, target);
                          grid.Set(row, kBarColumn, JoinBar(bar));
                          grid.Set(row, kTargetColumn, target);
                          grid.Set(row, kRankColumn, record.Field("ProjectRank"));
                        });
  });
  return Variant();
}

}  // namespace ksmain
