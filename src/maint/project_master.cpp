// Saving the project form: one ProjectMaster row inserted or rewritten from the page's
// 31 values, after the form's business rules (closing a project, the fixed scores of
// type 22, the rank as the sum of the five scores).
//
// Everything the save derives is worked out and every statement is built before the
// first one runs, so a score that does not convert, a key that is not a number or a date
// that is no date leaves the database as it was instead of closing the project's steps
// and recording history and then failing.
#include <array>
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

// Element k of the form is column k of ProjectMaster for k = 0..29; element 30 the key.
enum FormElement : std::int32_t {
  kName = 0,
  kPriority = 1,
  kEstDateCompleted = 6,
  kActDateCompleted = 7,
  kStatus = 10,
  kPercentCompleted = 11,
  kProjectType = 12,
  kProjectRank = 13,
  kSuccessRank = 17,
  kCostRank = 18,
  kTimeRank = 19,
  kImprCompanyRank = 20,
  kImprCustomerRank = 21,
  kComments = 27,
  kBenefits = 28,
  kExpectedResults = 29,
  kId = 30,
};
constexpr std::int32_t kColumns = 30;

struct Column {
  const char* assignment;  // the update's literal up to the opening quote
  bool bare_in_insert;     // joined without quotes in the insert's value list
};

// The update quotes every value, keys and numbers included; the insert leaves the keys,
// codes and scores bare.
constexpr std::array<Column, kColumns> kProjectColumns{{
    {"NameofProject = '", false},   {"Priority = '", true},
    {"ProjectNo = '", false},       {"Department = '", true},
    {"EstDateStarted  = '", false}, {"ActDateStarted  = '", false},
    {"EstDateCompleted = '", false}, {"ActDateCompleted = '", false},
    {"ProjectOwner = '", true},     {"SubmittedBy = '", true},
    {"Status = '", true},           {"PercentCompleted = '", false},
    {"ProjectType = '", true},      {"ProjectRank = '", true},
    {"EstProjectCost = '", false},  {"ActProjectCost = '", false},
    {"ReviewDate = '", false},      {"SuccessRank = '", true},
    {"CostRank = '", true},         {"TimeRank = '", true},
    {"ImprCompanyRank = '", true},  {"ImprCustomerRank = '", true},
    {"misc1 = '", false},           {"misc2 = '", false},
    {"misc3 = '", false},           {"misc4 = '", false},
    {"misc5 = '", false},           {"Comments = '", false},
    {"Benefits = '", false},        {"ExpectedResults = '", false},
}};

constexpr const char* kInsertHead =
    "INSERT INTO ProjectMaster ( NameOfProject, Priority, ProjectNo, Department, "
    "EstDateStarted, "
    " ActDateStarted, EstDateCompleted, ActDateCompleted, "
    " ProjectOwner, SubmittedBy, Status, PercentCompleted, ProjectType, ProjectRank, "
    " EstProjectCost, ActProjectCost, ReviewDate, SuccessRank, CostRank, "
    " TimeRank, ImprCompanyRank, ImprCustomerRank, misc1, misc2, misc3, misc4, misc5, "
    " Comments, Benefits, ExpectedResults )"
    " VALUES (";

bool IsEncoded(std::int32_t k) {
  return k == kName || k == kComments || k == kBenefits || k == kExpectedResults;
}

using FormValues = std::array<Variant, kColumns>;

std::string UpdateStatement(const FormValues& v, const Variant& id) {
  std::string list;
  for (std::int32_t k = 0; k < kColumns; ++k) {
    list += kProjectColumns[k].assignment;
    list += sql::Quoted(v[k]);
    list += "', ";
  }
  list.resize(list.size() - 2);
  return "UPDATE ProjectMaster Set " + list + " Where ID = " + sql::Bare(id);
}

std::string InsertStatement(const FormValues& v) {
  std::string sql = kInsertHead;
  for (std::int32_t k = 0; k < kColumns; ++k) {
    const bool last = k == kColumns - 1;
    if (kProjectColumns[k].bare_in_insert) {
      sql += sql::Bare(v[k]);
      sql += ",";
    } else {
      sql += "'";
      sql += sql::Quoted(v[k]);
      sql += last ? "')" : "',";
    }
  }
  return sql;
}

// The form elements that land in date and number columns.
constexpr std::int32_t kDateElements[] = {4, 5, kEstDateCompleted, kActDateCompleted, 16};
constexpr std::int32_t kNumberElements[] = {3,  8,  9,  kStatus, kPercentCompleted, kProjectType,
                                            14, 15, kSuccessRank, kCostRank, kTimeRank,
                                            kImprCompanyRank, kImprCustomerRank};

// The engine refuses a date column given text that is no date and a number column given
// text that is no number. Checking the same before anything runs keeps the save whole: a
// bad value never leaves steps closed or a history row recorded for an estimate that was
// not saved. Null and the empty text store as NULL.
void RequireStorable(const FormValues& v) {
  for (std::int32_t k : kDateElements) {
    if (v[k].IsNull() || vb::TextEquals(v[k], "")) continue;
    if (!vb::ParseDate(vb::CStr(v[k]))) throw VbError(err::kTypeMismatch);
  }
  for (std::int32_t k : kNumberElements) {
    if (v[k].IsNull() || vb::TextEquals(v[k], "")) continue;
    if (!vb::ParseNumber(vb::CStr(v[k]))) throw VbError(err::kTypeMismatch);
  }
}

}  // namespace

namespace maint {

ProjectSave PlanProjectSave(Variant& arrtest) {
  FormValues v;
  for (std::int32_t k = 0; k < kColumns; ++k) {
    if (k == kPriority) continue;  // the form's priority is never saved
    v[k] = IsEncoded(k) ? Variant(EncodeElement(arrtest, k)) : Element(arrtest, k);
  }
  v[kPriority] = Variant(std::int32_t{0});
  ProjectSave plan;
  plan.id = Element(arrtest, kId);
  plan.estimate = v[kEstDateCompleted];
  plan.is_new = vb::TextEquals(plan.id, "");

  // Closing a project without an actual completion date completes it today and, for a
  // saved project, closes its steps.
  if (vb::TextEquals(v[kStatus], "2") && vb::TextEquals(v[kActDateCompleted], "")) {
    v[kPercentCompleted] = Variant("100");
    v[kActDateCompleted] = Variant(vb::CStr(Variant::FromDate(vb::Today())));
    if (!plan.is_new) {
      plan.close_steps = "update projectsteps set status='2' where projectid =" + sql::Bare(plan.id);
    }
  }
  if (vb::TextEquals(v[kProjectType], "22")) {
    for (std::int32_t k : {kSuccessRank, kCostRank, kTimeRank, kImprCompanyRank,
                           kImprCustomerRank}) {
      v[k] = Variant("5");
    }
  }
  // The rank is the sum of the five scores in 16-bit arithmetic, whatever the form sent.
  std::int16_t rank = 0;
  for (std::int32_t k : {kTimeRank, kSuccessRank, kCostRank, kImprCompanyRank,
                         kImprCustomerRank}) {
    rank = vb::AddInteger(rank, vb::CInt(v[k]));
  }
  v[kProjectRank] = Variant(vb::FormatNumber(rank, 1, false, true));
  RequireStorable(v);

  plan.save = plan.is_new ? InsertStatement(v) : UpdateStatement(v, plan.id);
  return plan;
}

}  // namespace maint

Variant KsMaint::UPD_ProjectMasterALL(Variant& arrtest, Variant& strconnect, Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    const maint::ProjectSave plan = maint::PlanProjectSave(arrtest);
    data::DataLink link(strconnect, sql::Dialect::Jet);
    if (!plan.close_steps.empty()) link.connection().Execute(plan.close_steps);
    if (!plan.is_new) {
      // Before the row is rewritten, so the history records the estimate being replaced.
      Variant project = plan.id;
      Variant estimate = plan.estimate;
      Variant record("1");
      Update_ProjectRevisedCompDates(project, estimate, record, strconnect);
    }
    link.Run(plan.save);
    RC = "OK";
  });
  return Variant();
}

}  // namespace ksmain
