// The lookup lists: statuses, ranks, departments, priorities and project types, each row
// with its key, code number and description.
#include <array>

#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

struct LookupList {
  const char* select;            // the SELECT up to the table name
  const char* default_sort;      // stored into an empty sort parameter; nullptr: fixed order
  const char* fixed_order;       // the fixed ORDER BY clause when the sort is not used
  std::int32_t row_bound;
  std::int32_t column_bound;
  std::array<FieldColumn, 3> fields;
};

constexpr LookupList kStatus{"SELECT id, statuscode, description FROM status", nullptr,
                             " Order by description ", 50, 3,
                             {{{0, "id"}, {1, "statuscode"}, {2, "description"}}}};
constexpr LookupList kRank{"SELECT id, rankno, rankdescription FROM rank", nullptr,
                           " Order by id ", 5, 3,
                           {{{0, "id"}, {1, "rankno"}, {2, "rankdescription"}}}};
constexpr LookupList kDepartment{"SELECT id, departmentno, departmentname FROM department",
                                 "departmentname asc", nullptr, 500, 6,
                                 {{{0, "id"}, {1, "departmentno"}, {2, "departmentname"}}}};
constexpr LookupList kPriority{"SELECT id, priorityno, prioritydescription FROM priority",
                               "prioritydescription asc", nullptr, 50, 3,
                               {{{0, "id"}, {1, "priorityno"}, {2, "prioritydescription"}}}};
constexpr LookupList kType{"SELECT id, typeno, typedescription FROM type", "typedescription asc",
                           nullptr, 50, 3, {{{0, "id"}, {1, "typeno"}, {2, "typedescription"}}}};

Variant RunLookup(const LookupList& list, Variant& arrtest, const Variant& strconnect,
                  Variant& sortby) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, list.row_bound,
                                       list.column_bound);
  RunTrapped(Trap::Silent, [&] {
    std::string sql = list.select;
    if (list.default_sort == nullptr) {
      sql += list.fixed_order;
    } else {
      // Null is not the empty text, so it keeps its value and the statement ends in
      // " Order by ", which the engine rejects.
      if (vb::TextEquals(sortby, "")) sortby = list.default_sort;
      sql += " Order by ";
      sql += sql::OrderList(sortby);
    }
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, list.fields);
  });
  return Variant();
}

}  // namespace

Variant Kestrel::Get_StatusAll(Variant& arrtest, Variant& strconnect, Variant&, Variant& sortby) {
  return RunLookup(kStatus, arrtest, strconnect, sortby);
}

Variant Kestrel::Get_RankAll(Variant& arrtest, Variant& strconnect, Variant&, Variant& sortby) {
  return RunLookup(kRank, arrtest, strconnect, sortby);
}

Variant Kestrel::Get_DepartmentAll(Variant& arrtest, Variant& strconnect, Variant&,
                                   Variant& Dsortby) {
  return RunLookup(kDepartment, arrtest, strconnect, Dsortby);
}

Variant Kestrel::Get_PriorityAll(Variant& arrtest, Variant& strconnect, Variant&,
                                 Variant& Psortby) {
  return RunLookup(kPriority, arrtest, strconnect, Psortby);
}

Variant Kestrel::Get_TypeAll(Variant& arrtest, Variant& strconnect, Variant&, Variant& Psortby) {
  return RunLookup(kType, arrtest, strconnect, Psortby);
}

}  // namespace ksmain
