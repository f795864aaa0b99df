// Class KsMaint: the write side of the project portfolio (projects, steps, ranks,
// meetings, step resources, Gantt chart moves).
//
// Write members set the caller's RC to "OK" only once their statement has run; they never
// clear it first, so a page presets RC and tests for "OK". Every member returns Empty and
// ends quietly on a failure (UPD_ProjectRank reports it to the application log first);
// statements already run stay done.
#pragma once

#include "ksmain/variant.h"

namespace ksmain {

class KsMaint {
 public:
  // ---- Project form ----
  // Inserts (element 30 empty) or rewrites a whole ProjectMaster row from the form's 31
  // values; elements 0, 27, 28 and 29 come back encoded.
  Variant UPD_ProjectMasterALL(Variant& arrtest, Variant& strconnect, Variant& RC);
  // Records the estimate being replaced in projectRevisedDates when EstCompletionDate
  // differs from the stored one and action is "1".
  Variant Update_ProjectRevisedCompDates(Variant& ProjectNum, Variant& EstCompletionDate,
                                         Variant& action, Variant& strconnect);

  // ---- Step form ----
  // Action "UPD" or "INS" in element 0; elements 2 and 16 come back encoded.
  Variant INS_UPD_ProjectSteps(Variant& arrtest, Variant& strconnect, Variant& RC);

  // ---- Ranking, meetings, step resources ----
  Variant UPD_ProjectRank(Variant& arrtest, Variant& strconnect, Variant& RC);
  Variant UpDateMeetingDates(Variant& arrtest, Variant& strconnect, Variant& RC,
                             Variant& action);
  Variant UpDateStepResources(Variant& arrtest, Variant& strconnect, Variant& RC,
                              Variant& action);

  // ---- Gantt chart moves ----
  Variant UPD_ProjectGanttChart(Variant& arrtest, Variant& strconnect, Variant& RC);
  Variant UPD_StepGanttChart(Variant& arrtest, Variant& strconnect, Variant& RC);
};

}  // namespace ksmain
