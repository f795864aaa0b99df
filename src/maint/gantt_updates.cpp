// Saving an edit made on the Gantt chart: a project's or a step's estimated start and
// completion dates and its owner. A date moved here does not reach the history of
// revised estimates.
#include <string>

#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/ksmaint.h"
#include "maint/input_array.h"
#include "maint/statements.h"
#include "sql/safety.h"

namespace ksmain {
namespace maint {
namespace {

struct GanttTarget {
  const char* update;      // "update <table> set "
  const char* start;       // the start date's assignment
  const char* completion;  // the completion date's assignment
  const char* owner;       // the owner's assignment
};

constexpr GanttTarget kProjectBar{"update projectmaster set ", "EstDateStarted  = '",
                                  "EstDateCompleted = '", "ProjectOwner = '"};
constexpr GanttTarget kStepBar{"update projectsteps set ", "EstStartDate  = '",
                               "EstCompletionDate = '", "ResourceID = '"};

}  // namespace

std::string GanttStatement(GanttBar bar, const Variant& arrtest) {
  const GanttTarget& target = bar == GanttBar::Project ? kProjectBar : kStepBar;
  Variant e[4];
  for (std::int32_t k = 0; k < 4; ++k) e[k] = Element(arrtest, k);
  if (vb::TextEquals(e[0], "")) return {};
  return std::string(target.update) + target.start + sql::Quoted(e[1]) + "', " +
         target.completion + sql::Quoted(e[2]) + "', " + target.owner + sql::Quoted(e[3]) +
         "'" + " Where ID = " + sql::Bare(e[0]);
}

}  // namespace maint

// Without a key there is no statement, and running none fails the save: nothing is
// written and RC keeps the caller's value.
Variant KsMaint::UPD_ProjectGanttChart(Variant& arrtest, Variant& strconnect, Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    maint::RunWrite(strconnect, maint::GanttStatement(maint::GanttBar::Project, arrtest));
    RC = "OK";
  });
  return Variant();
}

Variant KsMaint::UPD_StepGanttChart(Variant& arrtest, Variant& strconnect, Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    maint::RunWrite(strconnect, maint::GanttStatement(maint::GanttBar::Step, arrtest));
    RC = "OK";
  });
  return Variant();
}

}  // namespace ksmain
