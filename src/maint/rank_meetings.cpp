// The small writes: a project's five ranking scores with their average, the review
// meetings' attendance rows, and the extra resources assigned to steps.
#include <string>

#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/input_array.h"
#include "sql/safety.h"

namespace ksmain {

Variant KsMaint::UPD_ProjectRank(Variant& arrtest, Variant& strconnect, Variant& RC) {
  // The ranking page learns of nothing but RC, so a failure is left in the application
  // log for whoever looks after the server.
  RunTrapped(Trap::Log, [&] {
    Variant e[6];
    for (std::int32_t k = 0; k < 6; ++k) e[k] = maint::Element(arrtest, k);
    // Here the rank is the average of the scores (the project form saves their sum).
    double total = 0;
    for (std::int32_t k = 1; k <= 5; ++k) total += vb::CDbl(e[k]);
    const std::string rank = vb::FormatNumber(total / 5, 1, false, true);
    const std::string sql = "Update ProjectMaster Set ( ProjectRank = " + sql::Bare(Variant(rank)) +
                            ",SuccessRank = " + sql::Bare(e[1]) +
                            ",TimeRank = " + sql::Bare(e[2]) +
                            ",CostRank = " + sql::Bare(e[3]) +
                            ",ImprCompanyRank = " + sql::Bare(e[4]) +
                            ",ImprCustomerRank = " + sql::Bare(e[5]) + ")" +
                            " where id = " + sql::Bare(e[0]);
    maint::RunWrite(strconnect, sql);
    RC = "OK";
  });
  return Variant();
}

Variant KsMaint::UpDateMeetingDates(Variant& arrtest, Variant& strconnect, Variant& RC,
                                    Variant& action) {
  RunTrapped(Trap::Silent, [&] {
    const Variant planned = maint::Element(arrtest, 0);
    const Variant actual = maint::Element(arrtest, 1);
    // A meeting is the set of rows sharing the planned date as the page wrote it, so the
    // dates are written and matched as quoted text.
    std::string sql;
    if (vb::TextEquals(action, "1")) {
      sql = "Update Attendees Set ActualReviewDate = '" + sql::Quoted(actual) + "'" +
            " where PlannedReviewDate = '" + sql::Quoted(planned) + "'";
    } else if (vb::TextEquals(action, "2")) {
      sql = "delete from attendees where PlannedReviewDate = '" + sql::Quoted(planned) + "'";
    } else if (vb::TextEquals(action, "4")) {
      sql = "delete from attendees ";
    } else if (vb::TextEquals(action, "3")) {
      const Variant attendee = maint::Element(arrtest, 2);
      sql = "insert into attendees (plannedreviewdate, actualreviewdate, attendeeid) VALUES ('" +
            sql::Quoted(planned) + "','" + sql::Quoted(actual) + "'," + sql::Bare(attendee) + ")";
    }
    maint::RunWrite(strconnect, sql);
    RC = "OK";
  });
  return Variant();
}

Variant KsMaint::UpDateStepResources(Variant& arrtest, Variant& strconnect, Variant& RC,
                                     Variant& action) {
  RunTrapped(Trap::Silent, [&] {
    // Keys arrive from form fields and may carry blanks around them.
    Variant key[3];
    for (std::int32_t k = 0; k < 3; ++k) {
      key[k] = Variant(vb::Trim(vb::ConcatText(maint::Element(arrtest, k))));
    }
    std::string sql;
    if (vb::TextEquals(action, "1")) {
      sql = "Update ProjectStepResources Set ProjectStepID = " + sql::Bare(key[1]) +
            " where ProjectStepID = '" + sql::Quoted(key[0]) + "'";
    } else if (vb::TextEquals(action, "2")) {
      sql = "DELETE FROM ProjectStepResources WHERE (((ProjectStepResources.ProjectStepID)=" +
            sql::Bare(key[0]) + "));";
    } else if (vb::TextEquals(action, "3")) {
      sql = "insert into ProjectStepResources  (ProjectStepID, ResourceID) VALUES (" +
            sql::Bare(key[0]) + "," + sql::Bare(key[2]) + ")";
    }
    maint::RunWrite(strconnect, sql);
    RC = "OK";
  });
  return Variant();
}

}  // namespace ksmain
