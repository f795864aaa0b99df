// Resource lists (pick lists, maintenance, meeting attendance, step assignment) and the
// two yes/no checks behind the attendance and assignment flags.
//
// The lists share one layout: rows 1..500, columns 0..8, the row count in (0, 0) and the
// statement that filled the grid in (0, 1), both written only once every row is in. The
// flag lists ask the matching yes/no member once per row, through the class's own
// interface, so a check that fails leaves the previous row's flag in place.
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>

#include "data/datalink.h"
#include "data/grid_query.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "portfolio/record_rows.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kRowBound = 500;
constexpr std::int32_t kColumnBound = 8;
constexpr std::int32_t kFlagColumn = 7;
constexpr const char* kDefaultSort = "lastname, firstname asc";

constexpr std::array<FieldColumn, 7> kResourceFields{{
    {0, "id"},
    {1, "ResourceNo"},
    {2, "Department"},
    {3, "firstname"},
    {4, "lastname"},
    {5, "title"},
    {6, "NoOfProjects"},
}};

constexpr std::array<FieldColumn, 7> kStepResourceFields{{
    {0, "id"},
    {1, "ResourceNo"},
    {2, "Department"},
    {3, "firstname"},
    {4, "lastname"},
    {5, "title"},
    {6, "departmentname"},
}};

// The column list of the pick and maintenance lists. Its Attended sub-select is part of
// the text pages read back, although its value never reaches the grid.
constexpr const char* kResourceColumns =
    "SELECT distinct  Resource.ID, Resource.ResourceNo, Resource.Department, "
    "Resource.FirstName, Resource.LastName, Resource.Title, resource.NoOfProjects, "
    "(select  Attendees.ActualReviewDate from attendees where attendees.id = resource.id) as "
    "Attended FROM resource";

ResultGrid CreateResourceGrid(Variant& arrtest) {
  return ResultGrid::Create(arrtest, Orientation::RowFirst, kRowBound, kColumnBound);
}

// The order clause: an empty sort text becomes the default, and the caller's variable
// keeps it. Null is not the empty text; it joins as nothing and the engine rejects the
// dangling " Order by ".
std::string OrderClause(Variant& Rsortby) {
  if (vb::TextEquals(Rsortby, "")) Rsortby = kDefaultSort;
  return " Order by " + sql::OrderList(Rsortby);
}

// Copies one query's records into the grid from `row` on; an empty result writes 0 into
// the count cell, which the final count then replaces.
void CopyQuery(ResultGrid& grid, data::Recordset& records, std::int16_t& row) {
  if (records.AtBof() || records.AtEof()) {
    grid.Set(0, 0, std::int16_t{0});
    return;
  }
  portfolio::CopyRecords(grid, records, kResourceFields, row);
}

// The checks run once per listed person: their text is put together in one allocation.
std::string Concat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part);
  return text;
}

// A yes/no check: "Y" when the statement finds a row, "N" when it finds none. The flag is
// written only once the query has run, so a failed check leaves it as it was.
void CheckExists(const std::string& sql, const Variant& strconnect, Variant& flag) {
  data::DataLink link(strconnect, sql::Dialect::Jet);
  data::Recordset& records = link.Query(sql);
  flag = (records.AtBof() || records.AtEof()) ? "N" : "Y";
  link.Close();
}

// A resource list whose flag column is a yes/no check per person, made through the class's
// own member so each check keeps its own trap: a failed check leaves the previous row's
// flag. The statement goes into (0, 1) once the list is complete.
template <class Check>
void FillWithFlags(ResultGrid& grid, const Variant& strconnect, const std::string& sql,
                   std::span<const FieldColumn> fields, Check check) {
  Variant flag = "";
  RecordField id_field("id");
  data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, fields,
                      [&](std::int16_t row, const RecordSource& record) {
                        Variant id = id_field.Read(record);
                        check(id, flag);
                        grid.Set(row, kFlagColumn, flag);
                      });
  grid.Set(0, 1, sql);
}

}  // namespace

Variant Kestrel::Get_ResourceAll(Variant& arrtest, Variant& strconnect, Variant&,
                                 Variant& Rsortby) {
  ResultGrid grid = CreateResourceGrid(arrtest);
  RunTrapped(Trap::Silent, [&] {
    const std::string order = OrderClause(Rsortby);
    // Both statements run on one connection with one counter, so "Unassigned" comes first
    // and the count covers both.
    const std::string unassigned =
        std::string(kResourceColumns) + " where firstname = 'Unassigned'" + order;
    const std::string others =
        std::string(kResourceColumns) + " where firstname <> 'Unassigned'" + order;
    data::DataLink link(strconnect, sql::Dialect::Jet);
    std::int16_t row = 1;
    CopyQuery(grid, link.Query(unassigned), row);
    link.recordset().Close();
    CopyQuery(grid, link.Query(others), row);
    grid.Set(0, 0, static_cast<std::int16_t>(row - 1));
    grid.Set(0, 1, others);
    link.Close();
  });
  return Variant();
}

Variant Kestrel::Get_ResourceMaint(Variant& arrtest, Variant& strconnect, Variant&,
                                   Variant& Rsortby, Variant& tmpwhere) {
  ResultGrid grid = CreateResourceGrid(arrtest);
  RunTrapped(Trap::Silent, [&] {
    const std::string order = OrderClause(Rsortby);
    // The surname pattern is used as given: with "%" it matches a prefix or a part,
    // without one only an equal surname.
    std::string filter = " where firstname <> 'Unassigned' ";
    if (!vb::TextEquals(tmpwhere, "")) filter += " and lastname like '" + sql::Quoted(tmpwhere) + "'";
    const std::string sql = std::string(kResourceColumns) + " " + filter + order;
    data::QueryIntoGrid(grid, strconnect, sql::Dialect::Jet, sql, kResourceFields);
    grid.Set(0, 1, sql);
  });
  return Variant();
}

Variant Kestrel::Get_ResourceAttendees(Variant& arrtest, Variant& strconnect,
                                       Variant& strActualReviewDate, Variant& Rsortby) {
  ResultGrid grid = CreateResourceGrid(arrtest);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        "SELECT distinct"
        " Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName, "
        "Resource.LastName, Resource.Title, resource.NoOfProjects "
        " FROM resource where firstname <> 'Unassigned'" +
        OrderClause(Rsortby);
    FillWithFlags(grid, strconnect, sql, kResourceFields, [&](Variant& id, Variant& flag) {
      Get_ResourceAttendedMeeting(id, strActualReviewDate, strconnect, flag);
    });
  });
  return Variant();
}

Variant Kestrel::Get_ProjectStepAttendees(Variant& arrtest, Variant& strconnect,
                                          Variant& strProjectStepID, Variant& Rsortby) {
  ResultGrid grid = CreateResourceGrid(arrtest);
  RunTrapped(Trap::Silent, [&] {
    // Every resource whose department exists, once each; the step only decides the flag.
    const std::string sql =
        " SELECT   distinct Resource.id, Resource.FirstName, Resource.title, "
        "Resource.ResourceNO, Resource.LastName, Resource.Department, Department.DepartmentName"
        " FROM (Resource LEFT JOIN ProjectStepResources ON Resource.ID = "
        "ProjectStepResources.ResourceID) INNER JOIN Department ON Resource.Department = "
        "Department.ID" +
        OrderClause(Rsortby);
    FillWithFlags(grid, strconnect, sql, kStepResourceFields, [&](Variant& id, Variant& flag) {
      Get_ProjectStepResourceIsRequired(id, strProjectStepID, strconnect, flag);
    });
  });
  return Variant();
}

Variant Kestrel::Get_ResourceAttendedMeeting(Variant& strResourceID,
                                             Variant& strActualReviewDate, Variant& strconnect,
                                             Variant& blnAttended) {
  RunTrapped(Trap::Silent, [&] {
    // The meeting date is compared as text with the stored one, so the page passes it in
    // the stored form.
    const std::string sql = Concat({"SELECT distinct Resource.ID "
                                    " FROM resource inner jOIN Attendees ON resource.ID = "
                                    "Attendees.AttendeeID where  resource.id=",
                                    sql::Bare(strResourceID), " and actualreviewdate = '",
                                    sql::Quoted(strActualReviewDate), "'"});
    CheckExists(sql, strconnect, blnAttended);
  });
  return Variant();
}

Variant Kestrel::Get_ProjectStepResourceIsRequired(Variant& strResourceID, Variant& strStepID,
                                                   Variant& strconnect, Variant& blnAttended) {
  RunTrapped(Trap::Silent, [&] {
    const std::string sql = Concat({"SELECT distinct Resource.ID "
                                    " FROM resource inner jOIN ProjectStepResources ON "
                                    "resource.ID = ProjectStepResources.ResourceID"
                                    " where  resource.id=",
                                    sql::Bare(strResourceID),
                                    " and ProjectStepResources.ProjectStepID = ",
                                    sql::Bare(strStepID)});
    CheckExists(sql, strconnect, blnAttended);
  });
  return Variant();
}

}  // namespace ksmain
