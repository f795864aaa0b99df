// The statements of the KsMaint members, built from the page's input before anything is
// executed. Each builder reads the input array as its member does (encoding the free-text
// cells in place) and raises what the member's trap catches: a missing element, a score
// that does not convert, a key that is not a number.
#pragma once

#include <string>

#include "ksmain/variant.h"

namespace ksmain::maint {

// A project save worked out in full: the rules of the form applied, every statement
// built. Nothing here touches the database.
struct ProjectSave {
  bool is_new = true;        // element 30 empty: insert
  std::string close_steps;   // closes the steps of a saved project being closed, or ""
  std::string save;          // the INSERT or UPDATE of ProjectMaster
  Variant id;                // element 30
  Variant estimate;          // element 6, the new estimated completion date
};
ProjectSave PlanProjectSave(Variant& arrtest);

// "" for an action other than "UPD" and "INS" (exact case).
std::string StepSaveStatement(Variant& arrtest);
std::string RankStatement(const Variant& arrtest);
// "" for an action other than "1" to "4".
std::string MeetingStatement(const Variant& arrtest, const Variant& action);
// "" for an action other than "1" to "3".
std::string StepResourceStatement(const Variant& arrtest, const Variant& action);

enum class GanttBar { Project, Step };
// "" when the key (element 0) is empty.
std::string GanttStatement(GanttBar bar, const Variant& arrtest);

}  // namespace ksmain::maint
