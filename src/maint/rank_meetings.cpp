// The small writes: a project's five ranking scores with their average, the review
// meetings' attendance rows, and the extra resources assigned to steps.
#include <string>

#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/input_array.h"
#include "maint/statements.h"
#include "sql/safety.h"

namespace ksmain {
namespace maint {

std::string RankStatement(const Variant& arrtest) {
  Variant e[6];
  for (std::int32_t k = 0; k < 6; ++k) e[k] = Element(arrtest, k);
  // Here the rank is the average of the scores (the project form saves their sum).
  double total = 0;
  for (std::int32_t k = 1; k <= 5; ++k) total += vb::CDbl(e[k]);
  const Variant rank(vb::FormatNumber(total / 5, 1, false, true));
  return "Update ProjectMaster Set ( ProjectRank = " + sql::Bare(rank) +
         ",SuccessRank = " + sql::Bare(e[1]) + ",TimeRank = " + sql::Bare(e[2]) +
         ",CostRank = " + sql::Bare(e[3]) + ",ImprCompanyRank = " + sql::Bare(e[4]) +
         ",ImprCustomerRank = " + sql::Bare(e[5]) + ")" + " where id = " + sql::Bare(e[0]);
}

std::string MeetingStatement(const Variant& arrtest, const Variant& action) {
  const Variant planned = Element(arrtest, 0);
  const Variant actual = Element(arrtest, 1);
  // A meeting is the set of rows sharing the planned date as the page wrote it, so the
  // dates are written and matched as quoted text.
  if (vb::TextEquals(action, "1")) {
    return "Update Attendees Set ActualReviewDate = '" + sql::Quoted(actual) + "'" +
           " where PlannedReviewDate = '" + sql::Quoted(planned) + "'";
  }
  if (vb::TextEquals(action, "2")) {
    return "delete from attendees where PlannedReviewDate = '" + sql::Quoted(planned) + "'";
  }
  if (vb::TextEquals(action, "4")) return "delete from attendees ";
  if (vb::TextEquals(action, "3")) {
    const Variant attendee = Element(arrtest, 2);
    return "insert into attendees (plannedreviewdate, actualreviewdate, attendeeid) VALUES ('" +
           sql::Quoted(planned) + "','" + sql::Quoted(actual) + "'," + sql::Bare(attendee) + ")";
  }
  return {};
}

std::string StepResourceStatement(const Variant& arrtest, const Variant& action) {
  // Keys arrive from form fields and may carry blanks around them.
  Variant key[3];
  for (std::int32_t k = 0; k < 3; ++k) {
    key[k] = Variant(vb::Trim(vb::ConcatText(Element(arrtest, k))));
  }
  if (vb::TextEquals(action, "1")) {
    return "Update ProjectStepResources Set ProjectStepID = " + sql::Bare(key[1]) +
           " where ProjectStepID = '" + sql::Quoted(key[0]) + "'";
  }
  if (vb::TextEquals(action, "2")) {
    return "DELETE FROM ProjectStepResources WHERE (((ProjectStepResources.ProjectStepID)=" +
           sql::Bare(key[0]) + "));";
  }
  if (vb::TextEquals(action, "3")) {
    return "insert into ProjectStepResources  (ProjectStepID, ResourceID) VALUES (" +
           sql::Bare(key[0]) + "," + sql::Bare(key[2]) + ")";
  }
  return {};
}

}  // namespace maint

Variant KsMaint::UPD_ProjectRank(Variant& arrtest, Variant& strconnect, Variant& RC) {
  // The ranking page learns of nothing but RC, so a failure is left in the application
  // log for whoever looks after the server.
  RunTrapped(Trap::Log, [&] {
    maint::RunWrite(strconnect, maint::RankStatement(arrtest));
    RC = "OK";
  });
  return Variant();
}

// An action the member does not know leaves the statement empty, and running an empty
// statement fails: nothing is written and RC keeps the caller's value.
Variant KsMaint::UpDateMeetingDates(Variant& arrtest, Variant& strconnect, Variant& RC,
                                    Variant& action) {
  RunTrapped(Trap::Silent, [&] {
    maint::RunWrite(strconnect, maint::MeetingStatement(arrtest, action));
    RC = "OK";
  });
  return Variant();
}

Variant KsMaint::UpDateStepResources(Variant& arrtest, Variant& strconnect, Variant& RC,
                                     Variant& action) {
  RunTrapped(Trap::Silent, [&] {
    maint::RunWrite(strconnect, maint::StepResourceStatement(arrtest, action));
    RC = "OK";
  });
  return Variant();
}

}  // namespace ksmain
