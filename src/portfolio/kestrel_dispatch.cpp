// Kestrel's dispatch interface, in slot order. A member joins the table when it exists.
#include "frame/dispatch_bind.h"
#include "ksmain/kestrel.h"
#include "portfolio/register.h"

namespace ksmain {

void RegisterKestrel() {
  ClassBuilder<Kestrel>(ClassInfo{"Kestrel", "KsMain.Kestrel", "_Kestrel",
                                  "{6F1C2A11-4B7E-4D2A-9C35-0E8B1A7D5301}",
                                  "{6F1C2A12-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .PropertyPut("Set_CustBase", 0x68030002, &Kestrel::Set_CustBase, {"CustBase"})
      .PropertyPut("setProgressBarTarget", 0x68030001, &Kestrel::setProgressBarTarget,
                   {"m_targetcolor"})
      .PropertyPut("setProgressBarActual", 0x68030000, &Kestrel::setProgressBarActual,
                   {"m_actualcolor"})
      .Function("Get_ProjectListAll", 0x60030003, &Kestrel::Get_ProjectListAll,
                {"arrtest", "strconnect", "intCount", "sortby", "objStatus", "objdept",
                 "objResource", "objPriority", "objStep"})
      .Function("Get_ProjectListAllGanttChartView", 0x60030004,
                &Kestrel::Get_ProjectListAllGanttChartView,
                {"arrtest", "strconnect", "intCount", "sortby", "objStatus", "objdept",
                 "objResource", "objPriority", "objStep", "objRangeStartDate",
                 "objRangeEndDate"})
      .Function("Get_StepsListAllGanttChartView", 0x60030005,
                &Kestrel::Get_StepsListAllGanttChartView,
                {"arrtest", "strconnect", "objID", "objRangeStartDate", "objRangeEndDate"})
      .Procedure("SortArray", 0x60030006, &Kestrel::SortArray,
                 {"DArray", "Element", "SizeOf2ndArrayVar"})
      .Function("Get_ProjectSpecific", 0x60030007, &Kestrel::Get_ProjectSpecific,
                {"arrtest", "strconnect", "objID"})
      .Function("Get_StatusAll", 0x60030008, &Kestrel::Get_StatusAll,
                {"arrtest", "strconnect", "intCount", "sortby"})
      .Function("Get_RankAll", 0x60030009, &Kestrel::Get_RankAll,
                {"arrtest", "strconnect", "intCount", "sortby"})
      .Function("Get_Attendees", 0x6003000a, &Kestrel::Get_Attendees,
                {"arrtest", "strconnect", "QueryType", "strActualReviewDate"})
      .Function("Get_ReviewDates", 0x6003000b, &Kestrel::Get_ReviewDates,
                {"arrtest", "strconnect", "QueryType"})
      .Function("CalcHorizontalBarGraphs", 0x6003000c, &Kestrel::CalcHorizontalBarGraphs,
                {"objBarArray", "objActualDays", "objPercentCompleted", "objEstDateStarted",
                 "objEstDateCompleted", "objTargetPercent"})
      .Function("Get_ResourceAll", 0x6003000d, &Kestrel::Get_ResourceAll,
                {"arrtest", "strconnect", "intCount", "Rsortby"})
      .Function("Get_ResourceMaint", 0x6003000e, &Kestrel::Get_ResourceMaint,
                {"arrtest", "strconnect", "intCount", "Rsortby", "tmpwhere"})
      .Function("Get_ResourceAttendees", 0x6003000f, &Kestrel::Get_ResourceAttendees,
                {"arrtest", "strconnect", "strActualReviewDate", "Rsortby"})
      .Function("Get_ProjectStepAttendees", 0x60030010, &Kestrel::Get_ProjectStepAttendees,
                {"arrtest", "strconnect", "strProjectStepID", "Rsortby"})
      .Function("Get_ResourceAttendedMeeting", 0x60030011, &Kestrel::Get_ResourceAttendedMeeting,
                {"strResourceID", "strActualReviewDate", "strconnect", "blnAttended"})
      .Function("Get_ProjectStepResourceIsRequired", 0x60030012,
                &Kestrel::Get_ProjectStepResourceIsRequired,
                {"strResourceID", "strStepID", "strconnect", "blnAttended"})
      .Function("Get_DepartmentAll", 0x60030013, &Kestrel::Get_DepartmentAll,
                {"arrtest", "strconnect", "intCount", "Dsortby"})
      .Function("Get_PriorityAll", 0x60030014, &Kestrel::Get_PriorityAll,
                {"arrtest", "strconnect", "intCount", "Psortby"})
      .Function("Get_TypeAll", 0x60030015, &Kestrel::Get_TypeAll,
                {"arrtest", "strconnect", "intCount", "Psortby"})
      .Function("Get_ProjectStepsNotDeleted", 0x60030016, &Kestrel::Get_ProjectStepsNotDeleted,
                {"arrtest", "objProjID", "objStepID", "strconnect", "StatusCode"})
      .Function("Get_ProjectSteps", 0x60030017, &Kestrel::Get_ProjectSteps,
                {"arrtest", "objProjID", "objStepID", "strconnect", "StatusCode"})
      .Function("Get_ProjectStepsResources", 0x60030018, &Kestrel::Get_ProjectStepsResources,
                {"arrtest", "objStepID", "strconnect"})
      .Function("Get_ProjectRevisedCompDates", 0x60030019, &Kestrel::Get_ProjectRevisedCompDates,
                {"arrRevDates", "strconnect", "intCount", "ProjectNum"})
      .Function("Get_GlobalVars", 0x6003001a, &Kestrel::Get_GlobalVars,
                {"arrGlobals", "strconnect"})
      .Function("Get_rptMeetingAttendance", 0x6003001b, &Kestrel::Get_rptMeetingAttendance,
                {"arrtest", "strconnect", "strResourceID", "objBegDate", "objEndDate"})
      .Function("Get_rptProjectsByTimePeriod", 0x6003001c, &Kestrel::Get_rptProjectsByTimePeriod,
                {"arrtest", "strconnect", "objProjType", "objBegDate", "objEndDate"})
      .Function("Get_rptActiveClosedStepsByproject", 0x6003001d,
                &Kestrel::Get_rptActiveClosedStepsByproject,
                {"arrtest", "strconnect", "objProjType", "objBegDate", "objEndDate", "objStatus"})
      .Function("Get_rptClosedProjectsByTimePeriod", 0x6003001e,
                &Kestrel::Get_rptClosedProjectsByTimePeriod,
                {"arrtest", "strconnect", "objProjType", "objBegDate", "objEndDate"})
      .Function("Get_rptWhoNeedsHelpFrom", 0x6003001f, &Kestrel::Get_rptWhoNeedsHelpFrom,
                {"arrtest", "strconnect", "strProjType", "strProjectStatus", "strStepStatus"})
      .Function("Get_rptKaizenEvents", 0x60030020, &Kestrel::Get_rptKaizenEvents,
                {"arrtest", "strconnect", "strProjectStatus", "objBegDate", "objEndDate"})
      .Function("Get_KaizenNames", 0x60030021, &Kestrel::Get_KaizenNames,
                {"arrtest", "strconnect", "strProjectID"})
      .Function("InsertKaizenEventsToProject", 0x60030022, &Kestrel::InsertKaizenEventsToProject,
                {"projectID", "kid", "strconnect"})
      .Function("GetKaizenResults", 0x60030023, &Kestrel::GetKaizenResults,
                {"arrtest", "projectID", "strconnect"})
      .Function("CountKaizenEvents", 0x60030024, &Kestrel::CountKaizenEvents,
                {"KCount", "PID", "strconnect"})
      .Function("ManageKaizenEvents", 0x60030025, &Kestrel::ManageKaizenEvents,
                {"strSQL", "strconnect", "result"})
      .Function("CountProjectSteps", 0x60030026, &Kestrel::CountProjectSteps,
                {"TotCount", "ActCount", "PID", "strconnect"})
      .Function("Upd_ResourceAll", 0x60030028, &Kestrel::Upd_ResourceAll,
                {"arrtest", "strconnect", "RC"})
      .Register();
}

}  // namespace ksmain
