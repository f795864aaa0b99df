// KsMaint's dispatch interface, in slot order. A member joins the table when it exists.
#include "frame/dispatch_bind.h"
#include "ksmain/ksmaint.h"
#include "maint/register.h"

namespace ksmain {

void RegisterKsMaint() {
  ClassBuilder<KsMaint>(ClassInfo{"KsMaint", "KsMain.KsMaint", "_KsMaint",
                                  "{6F1C2A15-4B7E-4D2A-9C35-0E8B1A7D5301}",
                                  "{6F1C2A16-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .Function("UPD_ProjectMasterALL", 0x60030000, &KsMaint::UPD_ProjectMasterALL,
                {"arrtest", "strconnect", "RC"})
      .Function("Update_ProjectRevisedCompDates", 0x60030001,
                &KsMaint::Update_ProjectRevisedCompDates,
                {"ProjectNum", "EstCompletionDate", "action", "strconnect"})
      .Function("INS_UPD_ProjectSteps", 0x60030002, &KsMaint::INS_UPD_ProjectSteps,
                {"arrtest", "strconnect", "RC"})
      .Function("UPD_ProjectRank", 0x60030003, &KsMaint::UPD_ProjectRank,
                {"arrtest", "strconnect", "RC"})
      .Function("UpDateMeetingDates", 0x60030004, &KsMaint::UpDateMeetingDates,
                {"arrtest", "strconnect", "RC", "action"})
      .Function("UpDateStepResources", 0x60030005, &KsMaint::UpDateStepResources,
                {"arrtest", "strconnect", "RC", "action"})
      .Function("UPD_ProjectGanttChart", 0x60030006, &KsMaint::UPD_ProjectGanttChart,
                {"arrtest", "strconnect", "RC"})
      .Function("UPD_StepGanttChart", 0x60030007, &KsMaint::UPD_StepGanttChart,
                {"arrtest", "strconnect", "RC"})
      .Register();
}

}  // namespace ksmain
