// Class Kestrel: the read side of the project portfolio and its resource maintenance.
//
// One function per page action. By-reference parameters are the caller's own variables:
// the member replaces result grids there, writes defaults back into empty sort texts and
// leaves what it wrote before a failure. Every function returns Empty unless noted.
#pragma once

#include <cstdint>
#include <string>

#include "ksmain/variant.h"

namespace ksmain {

struct ArrayRef;  // a by-reference array of Variant (frame/dispatch_bind.h)

class Kestrel {
 public:
  // ---- Settings (property puts) ----
  // Accepts a customer base name and keeps nothing.
  void Set_CustBase(const std::string& CustBase);
  // The colours of the target and actual bars of the bar graphs.
  void setProgressBarTarget(const Variant& m_targetcolor);
  void setProgressBarActual(const Variant& m_actualcolor);

  // ---- Lookup lists ----
  Variant Get_StatusAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& sortby);
  Variant Get_RankAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& sortby);
  Variant Get_DepartmentAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                            Variant& Dsortby);
  Variant Get_PriorityAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                          Variant& Psortby);
  Variant Get_TypeAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& Psortby);

  // ---- Project list, Gantt views, array sort and bar graphs ----
  // The five filters are the member's own copies; the sort default goes back to the page.
  Variant Get_ProjectListAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                             Variant& sortby, const Variant& objStatus, const Variant& objdept,
                             const Variant& objResource, const Variant& objPriority,
                             const Variant& objStep);
  Variant Get_ProjectListAllGanttChartView(Variant& arrtest, Variant& strconnect,
                                           Variant& intCount, Variant& sortby,
                                           Variant& objStatus, Variant& objdept,
                                           Variant& objResource, Variant& objPriority,
                                           Variant& objStep, Variant& objRangeStartDate,
                                           Variant& objRangeEndDate);
  Variant Get_StepsListAllGanttChartView(Variant& arrtest, Variant& strconnect, Variant& objID,
                                         Variant& objRangeStartDate, Variant& objRangeEndDate);
  // Sorts the rows of a column-first array in place by one column; no error trap.
  void SortArray(ArrayRef DArray, std::int16_t& Element, std::int16_t& SizeOf2ndArrayVar);
  // The ten-cell progress bar and target percentage of one project; no error trap.
  Variant CalcHorizontalBarGraphs(Variant& objBarArray, Variant& objActualDays,
                                  Variant& objPercentCompleted, Variant& objEstDateStarted,
                                  Variant& objEstDateCompleted, Variant& objTargetPercent);

  // ---- Project detail ----
  Variant Get_ProjectSpecific(Variant& arrtest, Variant& strconnect, Variant& objID);

  // ---- Resources ----
  Variant Get_ResourceAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                          Variant& Rsortby);
  Variant Get_ResourceMaint(Variant& arrtest, Variant& strconnect, Variant& intCount,
                            Variant& Rsortby, Variant& tmpwhere);
  Variant Get_ResourceAttendees(Variant& arrtest, Variant& strconnect,
                                Variant& strActualReviewDate, Variant& Rsortby);
  Variant Get_ProjectStepAttendees(Variant& arrtest, Variant& strconnect,
                                   Variant& strProjectStepID, Variant& Rsortby);
  // Yes/no checks for one person: "Y" or "N" into blnAttended, left unchanged on failure.
  Variant Get_ResourceAttendedMeeting(Variant& strResourceID, Variant& strActualReviewDate,
                                      Variant& strconnect, Variant& blnAttended);
  Variant Get_ProjectStepResourceIsRequired(Variant& strResourceID, Variant& strStepID,
                                            Variant& strconnect, Variant& blnAttended);

  // ---- Resource maintenance ----
  // Adds, updates or deletes one Resource row ("add", "update", "delete" in element 9);
  // elements 1 to 9 come back encoded. RC becomes "OK" once the statement has run.
  Variant Upd_ResourceAll(Variant& arrtest, Variant& strconnect, Variant& RC);

  // ---- Review meetings ----
  Variant Get_Attendees(Variant& arrtest, Variant& strconnect, Variant& QueryType,
                        Variant& strActualReviewDate);
  Variant Get_ReviewDates(Variant& arrtest, Variant& strconnect, Variant& QueryType);

  // ---- Project steps ----
  Variant Get_ProjectStepsNotDeleted(Variant& arrtest, Variant& objProjID, Variant& objStepID,
                                     Variant& strconnect, Variant& StatusCode);
  Variant Get_ProjectSteps(Variant& arrtest, Variant& objProjID, Variant& objStepID,
                           Variant& strconnect, Variant& StatusCode);
  Variant Get_ProjectStepsResources(Variant& arrtest, Variant& objStepID, Variant& strconnect);

  // ---- Revised completion dates and settings ----
  Variant Get_ProjectRevisedCompDates(Variant& arrRevDates, Variant& strconnect,
                                      Variant& intCount, Variant& ProjectNum);
  Variant Get_GlobalVars(Variant& arrGlobals, Variant& strconnect);

  // ---- Reports ----
  // The period is the first and last day as date texts; every grid holds 500 rows.
  Variant Get_rptMeetingAttendance(Variant& arrtest, Variant& strconnect, Variant& strResourceID,
                                   Variant& objBegDate, Variant& objEndDate);
  Variant Get_rptProjectsByTimePeriod(Variant& arrtest, Variant& strconnect, Variant& objProjType,
                                      Variant& objBegDate, Variant& objEndDate);
  Variant Get_rptActiveClosedStepsByproject(Variant& arrtest, Variant& strconnect,
                                            Variant& objProjType, Variant& objBegDate,
                                            Variant& objEndDate, Variant& objStatus);
  Variant Get_rptClosedProjectsByTimePeriod(Variant& arrtest, Variant& strconnect,
                                            Variant& objProjType, Variant& objBegDate,
                                            Variant& objEndDate);
  Variant Get_rptWhoNeedsHelpFrom(Variant& arrtest, Variant& strconnect, Variant& strProjType,
                                  Variant& strProjectStatus, Variant& strStepStatus);
  // No error trap: failures reach the caller.
  Variant Get_rptKaizenEvents(Variant& arrtest, Variant& strconnect, Variant& strProjectStatus,
                              Variant& objBegDate, Variant& objEndDate);

  // ---- Kaizen events ----
  Variant Get_KaizenNames(Variant& arrtest, Variant& strconnect, Variant& strProjectID);
  // Leaves "OK" in projectID once the row is inserted.
  Variant InsertKaizenEventsToProject(Variant& projectID, Variant& kid, Variant& strconnect);
  Variant GetKaizenResults(Variant& arrtest, Variant& projectID, Variant& strconnect);
  Variant CountKaizenEvents(Variant& KCount, Variant& PID, Variant& strconnect);
  // Runs the page's own statement (one statement); "OK" into result once it has run.
  Variant ManageKaizenEvents(Variant& strSQL, Variant& strconnect, Variant& result);
  Variant CountProjectSteps(Variant& TotCount, Variant& ActCount, Variant& PID,
                            Variant& strconnect);

 private:
  std::string target_bar_color_;
  std::string actual_bar_color_;
};

}  // namespace ksmain
