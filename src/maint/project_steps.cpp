// Saving the step form, and the history of a project's revised completion estimates.
#include <array>
#include <optional>
#include <string>

#include "data/datalink.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/input_array.h"
#include "maint/statements.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

// Elements 2..17 of the step form, in the order of both statements.
struct StepColumn {
  std::int32_t element;
  const char* assignment;  // the update's literal up to the value
  const char* separator;   // what follows the value in the update
  bool bare;               // joined without quotes (keys and the status code)
  bool encoded;            // free text passed through the encoding first
};

constexpr std::array<StepColumn, 16> kStepColumns{{
    {2, "StepName = '", "', ", false, true},
    {3, "ProjectID = ", ", ", true, false},
    {4, "ResourceID = ", ", ", true, false},
    {5, "EstTime  = '", "', ", false, false},
    {6, "ActTime = '", "', ", false, false},
    {7, "EstCost = '", "', ", false, false},
    {8, "ActCost = '", "', ", false, false},
    {9, "EstStartDate  = '", "', ", false, false},
    {10, "ActStartDate = '", "', ", false, false},
    {11, "EstCompletionDate  = '", "', ", false, false},
    {12, "ActCompletionDate = '", "', ", false, false},
    {13, "Status= ", ", ", true, false},
    {14, "Misc1= '", "', ", false, false},
    {15, "Misc2= '", "', ", false, false},
    {16, "Description= '", "', ", false, true},
    {17, "PercentCompleted= '", "'", false, false},
}};

constexpr std::int32_t kStepElements = 18;

constexpr const char* kStepInsertHead =
    "Insert Into ProjectSteps (StepName,  ProjectID, ResourceID, EstTime, ActTime, EstCost, "
    "ActCost, EstStartDate, ActStartDate, EstCompletionDate, ActCompletionDate, Status, "
    "misc1, misc2, description, percentcompleted)"
    " VALUES (";

std::string Joined(const StepColumn& c, const Variant& value) {
  return c.bare ? sql::Bare(value) : sql::Quoted(value);
}

// Whether a new estimate differs from the stored one. A stored estimate is a date, and a
// page sends the new one as text in any form a user types, so a text that reads as a date
// is compared as that date, as the variant comparison does ("2026-12-31" is the stored
// 12/31/2026). An unknown estimate (Null) on either side never differs.
bool EstimateDiffers(const Variant& estimate, const Variant& stored) {
  return vb::Compare(estimate, stored).value_or(0) != 0;
}

}  // namespace

namespace maint {

std::string StepSaveStatement(Variant& arrtest) {
  const Variant action = Element(arrtest, 0);
  const Variant id = Element(arrtest, 1);
  std::array<Variant, kStepElements> v;
  for (const StepColumn& c : kStepColumns) {
    v[c.element] = c.encoded ? Variant(EncodeElement(arrtest, c.element))
                             : Element(arrtest, c.element);
  }

  std::string sql;
  if (vb::TextEquals(action, "UPD")) {
    sql = "UPDATE ProjectSteps Set ";
    for (const StepColumn& c : kStepColumns) {
      sql += c.assignment;
      sql += Joined(c, v[c.element]);
      sql += c.separator;
    }
    sql += " Where ID = " + sql::Bare(id);
  } else if (vb::TextEquals(action, "INS")) {
    sql = kStepInsertHead;
    for (const StepColumn& c : kStepColumns) {
      const bool last = c.element == kStepElements - 1;
      if (c.bare) {
        sql += Joined(c, v[c.element]) + ",";
      } else {
        sql += " '" + Joined(c, v[c.element]) + (last ? "')" : "',");
      }
    }
  }
  return sql;
}

}  // namespace maint

Variant KsMaint::INS_UPD_ProjectSteps(Variant& arrtest, Variant& strconnect, Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    maint::RunWrite(strconnect, maint::StepSaveStatement(arrtest));
    RC = "OK";
  });
  return Variant();
}

Variant KsMaint::Update_ProjectRevisedCompDates(Variant& ProjectNum, Variant& EstCompletionDate,
                                                Variant& action, Variant& strconnect) {
  RunTrapped(Trap::Silent, [&] {
    const std::string project = sql::Bare(ProjectNum);
    Variant stored;
    {
      data::DataLink link(strconnect, sql::Dialect::Jet);
      data::Recordset& records =
          link.Query("select EstDateCompleted from projectmaster where id = " + project);
      if (records.AtEof()) return;
      stored = records.Field("EstDateCompleted");
      link.Close();
    }
    if (!vb::TextEquals(action, "1")) return;
    if (!EstimateDiffers(EstCompletionDate, stored)) return;
    // The estimate being replaced, in its display text, which the date column reads back
    // as the same date.
    maint::RunWrite(strconnect, "insert into projectRevisedDates (projectID,RevisedEstCompDate)  " +
                                    std::string(" Values(") + project + ",'" +
                                    sql::Quoted(stored) + "')");
  });
  return Variant();
}

}  // namespace ksmain
