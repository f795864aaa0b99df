// The statement shapes the members send, assembled from their literal pieces with
// ordinary values and with the empty and odd values the members pass on. Shared by the
// shape tests, the fuzz seed corpus and the benchmarks.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sql/translate.h"

namespace ksmain::sql::testing {

struct MemberStatement {
  const char* member;
  Dialect dialect;
  std::string text;
};

inline std::string ProjectListQuery(const std::string& status, const std::string& sortby) {
  return std::string(" SELECT ProjectMaster.ProjectNo, ProjectMaster.NameOfProject, ProjectMaster.PercentCompleted, ProjectMaster.EstDateCompleted, ProjectMaster.EstDateStarted, ") +
         " ProjectMaster.ActDateStarted, ProjectMaster.ActDateCompleted, ProjectMaster.ProjectRank, ProjectMaster.ID, Resource.FirstName, Resource.LastName, Type.TypeDescription, " +
         " Priority.PriorityDescription, Status.Description, Department.DepartmentName " +
         " FROM Department RIGHT JOIN (Status RIGHT JOIN (Priority RIGHT JOIN (Type RIGHT JOIN (Resource RIGHT JOIN ProjectMaster ON Resource.ID = ProjectMaster.ProjectOwner) ON Type.ID = ProjectMaster.ProjectType) ON Priority.ID = ProjectMaster.Priority) ON Status.ID = ProjectMaster.Status) ON Department.ID = ProjectMaster.Department" +
         " where projectmaster.status like '" + status + "' and projectmaster.department like '%' and projectmaster.ProjectOwner like '%'" +
         " and projectmaster.Priority like '%' and projectmaster.projecttype like '%'" +
         (status == "2" ? std::string(" Order by datevalue(ActDateCompleted) desc") : " Order by " + sortby);
}

inline std::string KaizenReportQuery(const std::string& beg, const std::string& end, const std::string& kind) {
  return "SELECT KaizenEvents.KaizenEvent, KaizenEvents.Units, ProjectMaster.NameOfProject, Status.Description, ProjectMaster.ID, KaizenResults.ImpBefore, KaizenResults.ImpAfter, KaizenResults.DateTimeValue, KaizenResults.VerifiedBefore, KaizenResults.VerifiedAfter, KaizenResults.VerifiedDate, Resource.FirstName, Resource.LastName"
         " FROM Status INNER JOIN (((KaizenResults INNER JOIN ProjectMaster ON KaizenResults.ProjectID = ProjectMaster.ID) LEFT JOIN Resource ON KaizenResults.VerifiedBy = Resource.ID) INNER JOIN KaizenEvents ON KaizenResults.KaizenEventID = KaizenEvents.ID) ON Status.ID = ProjectMaster.Status "
         " where cdate(DateTimeValue) between cdate('" + beg + "') and cdate('" + end + "') and kaizenresults.kaizenEventID like '" + kind + "'"
         " order by KaizenEvent,NameOfProject";
}

inline std::string SearchCategoriesHead() {
  return "SELECT DISTINCT isnull([entries].[categoryId],'') as categoryID, isnull([entries].[subcategoryId1],'') as subcategoryID1, isnull([entries].[subcategoryId2],'') as subcategoryID2, isnull([entries].[subcategoryId3],'') as subcategoryID3, isnull([entries].[subcategoryId4],'') as subcategoryID4, isnull([entries].[subcategoryId5],'') as subcategoryID5, [entries].[subcategoryId6], (select distinct category from category where id like entries.categoryid) AS catname, (select distinct subcategory1 from subcategory1 where id like entries.subcategoryid1) AS subname1, (select distinct subcategory2 from subcategory2 where id like entries.subcategoryid2) AS subname2, (select distinct subcategory3 from subcategory3 where id like entries.subcategoryid3) AS subname3, (select distinct subcategory4 from subcategory4 where id like entries.subcategoryid4) AS subname4, (select subcategory5  from subcategory5 where id like entries.subcategoryid5) AS subname5 from entries where ";
}

inline std::string SearchCategoriesQuery(const std::string& year, const std::string& words) {
  std::string s = SearchCategoriesHead() +
                  " categoryID like '%' and subcategoryID1 like '%' and subcategoryID2 like '%' and subcategoryID3 like '%'";
  if (!year.empty()) {
    s += " And getdate() <= expiredate and entries.activeInd = 'Y' and '" + year + "' between beg_year and end_year ";
  } else {
    s += " and entries.activeInd = 'Y' And getdate() <= expiredate ";
  }
  return s + " and (title Like " + words + ") Order by catname, subname1, subname2, subname3, subname4, subname5 ";
}

inline std::string GanttProjectsQuery(const std::string& start, const std::string& end) {
  return std::string(" SELECT ProjectMaster.ProjectNo, ProjectMaster.NameOfProject, ProjectMaster.PercentCompleted, ProjectMaster.EstDateCompleted, ProjectMaster.EstDateStarted, ") +
         " ProjectMaster.ActDateStarted, ProjectMaster.ActDateCompleted, ProjectMaster.ProjectRank, ProjectMaster.ID, Resource.FirstName, Resource.LastName, Type.TypeDescription, " +
         " Priority.PriorityDescription, Status.Description, Department.DepartmentName, projectmaster.projectowner, resource.noofprojects " +
         " FROM Department RIGHT JOIN (Status RIGHT JOIN (Priority RIGHT JOIN (Type RIGHT JOIN (Resource RIGHT JOIN ProjectMaster ON Resource.ID = ProjectMaster.ProjectOwner) ON Type.ID = ProjectMaster.ProjectType) ON Priority.ID = ProjectMaster.Priority) ON Status.ID = ProjectMaster.Status) ON Department.ID = ProjectMaster.Department" +
         " where projectmaster.status like '%' and projectmaster.department like '%' and projectmaster.ProjectOwner like '%' and projectmaster.Priority like '%' and projectmaster.projecttype like '%'" +
         " and (cdate(EstDateStarted) between cdate('" + start + "') and cdate('" + end + "') or cdate(EstDateCompleted) between cdate('" + start + "') and cdate('" + end + "')" +
         " OR ((cdate(EstDateStarted) < cdate('" + start + "')) and (cdate(EstDateCompleted) > cdate('" + end + "'))))" +
         " Order by lastname, firstname, cdate(EstDateCompleted)";
}

inline std::string StepsGanttQuery(const std::string& id, const std::string& start, const std::string& end) {
  return "SELECT projectsteps.id as stepid, ProjectSteps.StepName, ProjectSteps.EstStartDate, ProjectSteps.EstCompletionDate, ProjectSteps.ProjectID, Resource.FirstName, Resource.LastName, "
         " Status.Description, ProjectSteps.ResourceID, Resource.NoOfProjects, (select EstDateCompleted from projectmaster where id = " + id + ") as PRJEstDateCompleted,  "
         " (select NameOfProject from projectmaster where id = " + id + ") as NameofProject"
         " FROM (ProjectSteps INNER JOIN Resource ON ProjectSteps.ResourceID = Resource.ID) INNER JOIN Status ON ProjectSteps.Status = Status.ID"
         " where projectsteps.projectid = " + id + " and ((cdate(EstStartDate) between cdate('" + start + "') and cdate('" + end + "')) or (cdate(EstCompletionDate) between cdate('" + start + "') and cdate('" + end + "'))"
         " OR ((cdate(EstStartDate) < cdate('" + start + "') and cdate(EstCompletionDate) > cdate('" + end + "'))))"
         " Order by cdate(EstCompletionDate)";
}

// The resource list and its maintenance form, by the condition after the table name.
inline std::string ResourceListQuery(const std::string& where) {
  return "SELECT distinct  Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName, Resource.LastName, Resource.Title, resource.NoOfProjects, "
         "(select  Attendees.ActualReviewDate from attendees where attendees.id = resource.id) as Attended FROM resource" + where + " Order by lastname, firstname asc";
}

inline const std::vector<MemberStatement>& MemberStatements() {
  static const std::vector<MemberStatement> all = [] {
    const Dialect J = Dialect::Jet;
    const Dialect T = Dialect::TSql;
    std::vector<MemberStatement> s;
    // Project list, Gantt views, project detail.
    s.push_back({"Get_ProjectListAll", J, ProjectListQuery("%", "projectrank desc, datevalue(EstDateStarted)")});
    s.push_back({"Get_ProjectListAll closed", J, ProjectListQuery("2", "")});
    s.push_back({"Get_ProjectListAll pattern", J, ProjectListQuery("1%", "lastname, firstname asc")});
    s.push_back({"Get_ProjectListAllGanttChartView", J, GanttProjectsQuery("1/1/2026", "3/31/2026")});
    s.push_back({"Get_StepsListAllGanttChartView", J, StepsGanttQuery("7", "2026-01-01", "12/31/2026")});
    s.push_back({"Get_ProjectDetail", J,
                 "SELECT ID, NameOfProject, Priority, ProjectNo, Department, EstDateStarted, ActDateStarted, EstDateCompleted, ActDateCompleted, ProjectOwner, (select lastname from resource where id=submittedby) as SubmittedBy, Status, PercentCompleted, "
                 "ProjectType, ProjectRank, EstProjectCost, ActProjectCost, ReviewDate, SuccessRank, CostRank, TimeRank, ImprCompanyRank, ImprCustomerRank, misc1, misc2, misc3, misc4, misc5, "
                 "Comments , Benefits, ExpectedResults From ProjectMaster where ID = 12"});
    // Lookup lists.
    s.push_back({"Get_StatusAll", J, "SELECT id, statuscode, description FROM status Order by description "});
    s.push_back({"Get_RankAll", J, "SELECT id, rankno, rankdescription FROM rank Order by id "});
    s.push_back({"Get_DepartmentAll", J, "SELECT id, departmentno, departmentname FROM department Order by departmentname asc"});
    s.push_back({"Get_PriorityAll", J, "SELECT id, priorityno, prioritydescription FROM priority Order by prioritydescription asc"});
    s.push_back({"Get_TypeAll", J, "SELECT id, typeno, typedescription FROM type Order by typedescription desc"});
    // Resources.
    s.push_back({"Get_ResourceAll unassigned", J, ResourceListQuery(" where firstname = 'Unassigned'")});
    s.push_back({"Get_ResourceMaint", J, ResourceListQuery("  where firstname <> 'Unassigned'  and lastname like 'Sm%'")});
    s.push_back({"Get_ResourceAttendees", J,
                 "SELECT distinct Resource.ID, Resource.ResourceNo, Resource.Department, Resource.FirstName, Resource.LastName, Resource.Title, resource.NoOfProjects  FROM resource where firstname <> 'Unassigned' Order by lastname"});
    s.push_back({"Get_ProjectStepAttendees", J,
                 " SELECT   distinct Resource.id, Resource.FirstName, Resource.title, Resource.ResourceNO, Resource.LastName, Resource.Department, Department.DepartmentName"
                 " FROM (Resource LEFT JOIN ProjectStepResources ON Resource.ID = ProjectStepResources.ResourceID) INNER JOIN Department ON Resource.Department = Department.ID Order by lastname"});
    s.push_back({"Get_ResourceAttendedMeeting", J,
                 "SELECT distinct Resource.ID  FROM resource inner jOIN Attendees ON resource.ID = Attendees.AttendeeID where  resource.id=4 and actualreviewdate = '3/15/2026'"});
    s.push_back({"Get_ProjectStepResourceIsRequired", J,
                 "SELECT distinct Resource.ID  FROM resource inner jOIN ProjectStepResources ON resource.ID = ProjectStepResources.ResourceID where  resource.id=4 and ProjectStepResources.ProjectStepID = 9"});
    // Meetings.
    s.push_back({"Get_Attendees", J,
                 "select Resource.FirstName, Resource.LastName, Resource.ID as RID, resource.department FROM Attendees inner JOIN Resource ON Attendees.AttendeeID = Resource.ID  where  actualreviewdate = '3/15/2026' Order by PlannedReviewDate, lastname"});
    s.push_back({"Get_ReviewDates", J,
                 "SELECT distinct cdate(Attendees.PlannedReviewDate) as PlannedReviewDate, Attendees.ActualReviewDate  FROM Attendees  Order by cdate(PlannedReviewDate) "});
    // Steps.
    s.push_back({"Get_ProjectStepsNotDeleted", J,
                 "SELECT ID, StepName, ProjectID, ResourceID, EstTime, ActTime, EstCost, ActCost, datevalue(eststartdate)  as eststartdate, ActStartDate, EstCompletionDate, ActCompletionDate, Status, Misc1, "
                 "Misc2, Description, PercentCompleted FROM ProjectSteps where projectid = 3 and id like '%'  and not status like '6'  order by datevalue(eststartdate)"});
    s.push_back({"Get_ProjectSteps", J,
                 "SELECT ID, StepName, ProjectID, ResourceID, EstTime, ActTime, EstCost, ActCost, datevalue(eststartdate)  as eststartdate, ActStartDate, EstCompletionDate, ActCompletionDate, Status, Misc1, "
                 "Misc2, Description, PercentCompleted FROM ProjectSteps where projectid = 3 and id like '15'  and status like '%'  order by datevalue(eststartdate)"});
    s.push_back({"Get_ProjectStepsResources", J,
                 "SELECT ProjectStepResources.ID, ProjectStepResources.ProjectStepID, ProjectStepResources.ResourceID, ProjectStepResources.misc1, ProjectStepResources.misc2,"
                 " Resource.FirstName, Resource.LastName, Department.DepartmentName"
                 " FROM (Resource INNER JOIN ProjectStepResources ON Resource.ID = ProjectStepResources.ResourceID) INNER JOIN Department ON Resource.Department = Department.ID "
                 "where projectstepid = 9"});
    // Revised dates and settings.
    s.push_back({"Get_ProjectRevisedCompDates", J,
                 "SELECT id, RevisedEstCompDate, DateTimeValue FROM projectRevisedDates where ProjectID = 5 Order by RevisedEstCompDate desc"});
    s.push_back({"Get_GlobalVars", J, "SELECT maintitle, SecurityEnabled,DefaultSecuritySettings from globalvars"});
    // Resource maintenance.
    s.push_back({"Upd_ResourceAll add", J,
                 "insert into Resource ( FirstName, LastName, Title, noofprojects) values ('Ann' , 'Smith' , 'Engineer','3')"});
    s.push_back({"Upd_ResourceAll update", J,
                 "update Resource set FirstName = 'Ann', LastName = 'Smith', Title = 'Lead', NoOfProjects = '4' where id = 4"});
    s.push_back({"Upd_ResourceAll delete", J, "delete from Resource  where id = 4"});
    // Project master writes.
    s.push_back({"UPD_ProjectMasterALL close steps", J, "update projectsteps set status='2' where projectid =12"});
    s.push_back({"UPD_ProjectMasterALL update", J,
                 "UPDATE ProjectMaster Set NameofProject = 'Line 4 &#40;east&#41;', Priority = '0', ProjectNo = 'P-17', Department = '2', EstDateStarted  = '1/5/2026', "
                 "ActDateStarted  = '', EstDateCompleted = '6/30/2026', ActDateCompleted = '', ProjectOwner = '4', SubmittedBy = '5', Status = '1', "
                 "PercentCompleted = '40', ProjectType = '7', ProjectRank = '15.0', EstProjectCost = '1200.5', ActProjectCost = '', ReviewDate = '2/1/2026', "
                 "SuccessRank = '1', CostRank = '2', TimeRank = '3', ImprCompanyRank = '4', ImprCustomerRank = '5', misc1 = 'm1', misc2 = 'm2', misc3 = 'm3', "
                 "misc4 = 'm4', misc5 = 'm5', Comments = 'its late', Benefits = 'Cost  and  time', ExpectedResults = 'Less scrap&#46;' Where ID = 12"});
    s.push_back({"UPD_ProjectMasterALL insert", J,
                 "INSERT INTO ProjectMaster ( NameOfProject, Priority, ProjectNo, Department, EstDateStarted,  ActDateStarted, EstDateCompleted, ActDateCompleted, "
                 " ProjectOwner, SubmittedBy, Status, PercentCompleted, ProjectType, ProjectRank,  EstProjectCost, ActProjectCost, ReviewDate, SuccessRank, CostRank, "
                 " TimeRank, ImprCompanyRank, ImprCustomerRank, misc1, misc2, misc3, misc4, misc5,  Comments, Benefits, ExpectedResults ) VALUES ("
                 "'Line 4 &#40;east&#41;',0,'P-17',2,'1/5/2026','','6/30/2026','',4,5,1,'40',7,15.0,'1200.5','','2/1/2026',1,2,3,4,5,'m1','m2','m3',"
                 "'m4','m5','its late','Cost  and  time','Less scrap&#46;')"});
    // Steps writes and revised dates.
    s.push_back({"INS_UPD_ProjectSteps UPD", J,
                 "UPDATE ProjectSteps Set StepName = 'Weld &#40;frame&#41;', ProjectID = 12, ResourceID = 4, EstTime  = '8', ActTime = '', EstCost = '150', ActCost = '', "
                 "EstStartDate  = '2/1/2026', ActStartDate = '', EstCompletionDate  = '2/9/2026', ActCompletionDate = '', Status= 1, Misc1= 'a', Misc2= '', "
                 "Description= 'Use jig&#47;fixture', PercentCompleted= '25' Where ID = 3"});
    s.push_back({"INS_UPD_ProjectSteps INS", J,
                 "Insert Into ProjectSteps (StepName,  ProjectID, ResourceID, EstTime, ActTime, EstCost, ActCost, EstStartDate, ActStartDate, EstCompletionDate, "
                 "ActCompletionDate, Status, misc1, misc2, description, percentcompleted) VALUES ( 'Weld &#40;frame&#41;',12,4, '8', '', '150', '', '2/1/2026', '', "
                 "'2/9/2026', '',1, 'a', '', 'Use jig&#47;fixture', '25')"});
    s.push_back({"Update_ProjectRevisedCompDates read", J, "select EstDateCompleted from projectmaster where id = 12"});
    s.push_back({"Update_ProjectRevisedCompDates insert", J,
                 "insert into projectRevisedDates (projectID,RevisedEstCompDate)   Values(12,'6/30/2026')"});
    // Rank, meetings, step resources, Gantt dates.
    s.push_back({"UPD_ProjectRank", J,
                 "Update ProjectMaster Set ( ProjectRank = 3.0,SuccessRank = 1,TimeRank = 2,CostRank = 3,ImprCompanyRank = 4,ImprCustomerRank = 5) where id = 12"});
    s.push_back({"UpDateMeetingDates 1", J,
                 "Update Attendees Set ActualReviewDate = '3/16/2026' where PlannedReviewDate = '3/15/2026'"});
    s.push_back({"UpDateMeetingDates 2", J, "delete from attendees where PlannedReviewDate = '3/15/2026'"});
    s.push_back({"UpDateMeetingDates 3", J,
                 "insert into attendees (plannedreviewdate, actualreviewdate, attendeeid) VALUES ('3/15/2026','3/16/2026',4)"});
    s.push_back({"UpDateMeetingDates 4", J, "delete from attendees "});
    s.push_back({"UpDateStepResources 1", J, "Update ProjectStepResources Set ProjectStepID = 10 where ProjectStepID = '9'"});
    s.push_back({"UpDateStepResources 2", J,
                 "DELETE FROM ProjectStepResources WHERE (((ProjectStepResources.ProjectStepID)=9));"});
    s.push_back({"UpDateStepResources 3", J, "insert into ProjectStepResources  (ProjectStepID, ResourceID) VALUES (9,4)"});
    s.push_back({"UPD_ProjectGanttChart", J,
                 "update projectmaster set EstDateStarted  = '2/1/2026', EstDateCompleted = '7/31/2026', ProjectOwner = '4' Where ID = 12"});
    s.push_back({"UPD_StepGanttChart", J,
                 "update projectsteps set EstStartDate  = '2/1/2026', EstCompletionDate = '2/28/2026', ResourceID = '4' Where ID = 15"});
    // Reports.
    s.push_back({"Get_rptMeetingAttendance", J,
                 "SELECT distinct  cdate(Attendees.PlannedReviewDate) as plannedreviewdate, attendees.actualreviewdate fROM Attendees where cdate(plannedreviewdate) between cdate('1/1/2026') and cdate('12/31/2026') order by cdate(plannedreviewdate)"});
    s.push_back({"Get_rptProjectsByTimePeriod", J,
                 "SELECT ProjectMaster.NameOfProject, ProjectMaster.EstDateStarted, ProjectMaster.EstDateCompleted, Resource.FirstName, Resource.LastName, Department.DepartmentName, Status.Description, ProjectMaster.PercentCompleted, Type.TypeDescription"
                 " FROM Type INNER JOIN (Resource INNER JOIN (Status INNER JOIN (Department INNER JOIN ProjectMaster ON Department.ID = ProjectMaster.Department) ON Status.ID = ProjectMaster.Status) ON Resource.ID = ProjectMaster.ProjectOwner) ON Type.ID = ProjectMaster.ProjectType"
                 " where (ProjectType like '%')  and (((cdate(estDateStarted) between cdate('1/1/2026') and cdate('3/31/2026')) or (cdate(estDateCompleted) between cdate('1/1/2026') and cdate('3/31/2026')))"
                 " OR  (cdate(estDateStarted) < cdate('1/1/2026') AND cdate(EstDateCompleted) > cdate('3/31/2026')))  Order by typeDescription, description"});
    s.push_back({"Get_rptActiveClosedStepsByproject", J,
                 "SELECT ProjectMaster.NameOfProject, Projectsteps.EstStartDate, Projectsteps.EstCompletionDate, Resource.FirstName, Resource.LastName,  Projectsteps.stepname,  Type.TypeDescription ,status.description as StatusDescription"
                 " FROM (Type INNER JOIN (Resource INNER JOIN (ProjectSteps INNER JOIN ProjectMaster ON ProjectSteps.ProjectID = ProjectMaster.ID) ON Resource.ID = ProjectSteps.ResourceID) ON Type.ID = ProjectMaster.ProjectType) INNER JOIN Status ON ProjectSteps.Status = Status.ID "
                 " where ((ProjectType = 3) and (( status.description  = 'Closed') or (status.description = 'Active')))  and (((cdate(EstStartDate) between cdate('1/1/2026') and cdate('3/31/2026')) or (cdate(EstCompletionDate) between cdate('1/1/2026') and cdate('3/31/2026')))"
                 " OR  (cdate(EstStartDate) < cdate('1/1/2026') AND cdate(EstCompletionDate) > cdate('3/31/2026')))  Order by typeDescription, status.description , nameofproject, cdate(estCompletionDate)"});
    s.push_back({"Get_rptClosedProjectsByTimePeriod", J,
                 "SELECT ProjectMaster.NameOfProject, projectmaster.actdatestarted, projectmaster.actdateCompleted, Resource.FirstName, Resource.LastName, "
                 "Department.DepartmentName, Status.Description, ProjectMaster.PercentCompleted, Type.TypeDescription, projectmaster.Projecttype "
                 " FROM Type INNER JOIN (Resource INNER JOIN (Status INNER JOIN (Department INNER JOIN ProjectMaster ON Department.ID=ProjectMaster.Department) ON Status.ID=ProjectMaster.Status) "
                 " ON Resource.ID=ProjectMaster.ProjectOwner) ON Type.ID=ProjectMaster.ProjectType where    status=2 and  (ProjectType like '%')  Order by TypeDescription "});
    s.push_back({"Get_rptWhoNeedsHelp", J,
                 "SELECT ProjectMaster.NameOfProject, ProjectSteps.StepName, ProjectSteps.ID AS SID, ProjectMaster.ID AS PID, Resource.FirstName, Resource.LastName, ProjectSteps.ResourceID, ProjectMaster.ProjectOwner, [status.Description] AS stepstatusdescription"
                 " FROM Status INNER JOIN (Resource INNER JOIN (ProjectSteps INNER JOIN ProjectMaster ON ProjectSteps.ProjectID = ProjectMaster.ID) ON Resource.ID = ProjectMaster.ProjectOwner) ON Status.ID = ProjectSteps.Status"
                 " Where Not projectowner = resourceid And resourceid = 4  and projectsteps.status like '%'"});
    s.push_back({"Get_rptKaizenEvents", J, KaizenReportQuery("1/1/2026", "12/31/2026", "%")});
    // Kaizen management.
    s.push_back({"Get_KaizenNames project", J,
                 "SELECT id, kaizenevent, units from kaizenevents  where  NOT id  in (select distinct KaizenEventID from kaizenresults where projectid=12) order by kaizenevent"});
    s.push_back({"Get_KaizenNames all", J, "SELECT id, kaizenevent, units from kaizenevents  order by kaizenevent"});
    s.push_back({"InsertKaizenEventsToProject", J,
                 "insert into kaizenresults (projectid, kaizenEventid, datetimevalue) values (12,3,'12/6/2026')"});
    s.push_back({"GetKaizenResults", J,
                 "SELECT ID, ProjectID, KaizenEventID, ImpBefore, ImpAfter, ImpDiff, VerifiedBefore, VerifiedAfter, VerifiedDiff, VerifiedDate, "
                 " VerifiedBy, KNotes, DateTimeValue, (SELECT kaizenevent from kaizenevents where id=kaizenEventID ) as KaizenName, (SELECT units from kaizenevents where id=kaizenEventID ) as KaizenUnits, "
                 "(select  id from resource where id=verifiedby) as resID, (select  lastname+' '+firstname from resource where id=verifiedby) as resname FROM KaizenResults where ProjectID =12"});
    s.push_back({"CountKaizenEvents", J, "SELECT count(id) as KCount from KaizenResults where projectID=12"});
    s.push_back({"CountProjectSteps", J,
                 "SELECT projectID, (select count(id) from ProjectSteps where projectID=12) as TotCount,   (select count(id) from ProjectSteps where projectID=12 and status=1) as ActiveCount  from ProjectSteps where projectID=12"});
    // Catalogue: registration.
    s.push_back({"Insertentries", T,
                 "INSERT INTO entries ( CategoryId, SubcategoryId1, subcategoryId2, subcategoryId3, subcategoryId4, subcategoryId5, subcategoryId6, "
                 "Title, Summary, BodyText, Cost, shipping_cost, cont_part_number, mfg_part_number, ImageThumbnail, Image1, beg_year, end_year, "
                 "Link1, Link2, MiscParm1, MiscParm2, MiscParm3, MiscParm4, MiscParm5, ExpireDate, ActiveInd, clientID, sale_price, DateTimeValue  ) VALUES ("
                 "'3', '1', '', '', '', '', '', 'Brake pad', 'Front pads', 'Fits most', '12.50', '4.00', 'C-1', 'M-1', 't.jpg', 'pad.jpg', '2001', '2009', "
                 "'http://a', '', '', '', '', '', '', '12/31/2026', 'Y', '7', '10.99', '12/6/2026 2:05:09 PM') "});
    s.push_back({"InsertClients", T,
                 "INSERT INTO clients (surname , firstname, lastname, companyname, address1, address2, city, state, zipcode, province, country, phone, fax, "
                 "email, weburl, username, password, passwordhint, passwordanswer, expiredate, activeind, DateTimeValue, image, image_large, miscparm1, miscparm2, miscparm3 ) VALUES ("
                 "'Mr', 'Ann', 'Smith', 'Acme', '1 Road', '', 'Town', 'ST', '12345', '', 'US', '555', '', 'a@b.c', '', 'ann', 'Secret', 'pet', 'rex', '', 'Y', '12/6/2026 2:05:09 PM','logo.gif','','','','')"});
    s.push_back({"ValidateClientLogin 1", T,
                 "select username, password, passwordhint, passwordanswer, expiredate, activeind from clients where username = 'ann' and password = 'Secret'"});
    s.push_back({"ValidateClientLogin 2", T,
                 "select username, password, passwordhint, passwordanswer, expiredate, activeind from clients where username = 'ann'"});
    // Navigation.
    s.push_back({"InsertNavigation", T,
                 "INSERT INTO navigation ( address, pagename, articleID, DateTimeValue ) VALUES ('10.0.0.1', 'detail.asp', '42', '12/6/2026 2:05:09 PM') "});
    s.push_back({"InsertEffectiveness", T,
                 "INSERT INTO effectiveness ( articleID, Score, DateTimeValue ) VALUES ('42', '5', '12/6/2026 2:05:09 PM') "});
    s.push_back({"CountNavigationAll", T, "select Count(id) from navigation where articleID = '42'"});
    s.push_back({"CountNavigationToday", T,
                 "select Count(id) from navigation where articleID = '42' AND datevalue(DateTimeValue) = '12/6/2026'"});
    // Category tree.
    s.push_back({"Get_Categories 0", T, "select   ID, category from category order by category"});
    s.push_back({"Get_Categories 1", T, "select   ID, subcategory1 from subcategory1 where linkid = 3 order by subcategory1"});
    s.push_back({"Get_Categories 2", T,
                 "SELECT subcategory2.ID, subcategory2.subcategory2  FROM subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON subcategory1.LinkID = category.ID) ON subcategory2.LinkID = subcategory1.ID"
                 " WHERE (((subcategory2.LinkID)= 5) AND ((subcategory1.LinkID)=3)) Order by subcategory2.subcategory2;"});
    s.push_back({"Get_Categories 3", T,
                 "SELECT subcategory3.ID, subcategory3.subcategory3  FROM subcategory3 INNER JOIN (subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON [subcategory1].[LinkID]=[category].[ID]) ON [subcategory2].[LinkID]=[subcategory1].[ID]) ON [subcategory3].[LinkID]=[subcategory2].[ID]"
                 " WHERE [subcategory2].[LinkID]= 5 And [subcategory1].[LinkID]= 3 And [subcategory3].[LinkID]= 8 Order by subcategory3.subcategory3 "});
    s.push_back({"Get_Categories 4", T,
                 "SELECT subcategory4.ID, subcategory4.subcategory4  FROM subcategory4 INNER JOIN (subcategory3 INNER JOIN (subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON subcategory1.LinkID = category.ID) ON subcategory2.LinkID = subcategory1.ID) ON subcategory3.LinkID = subcategory2.ID) ON subcategory4.LinkID = subcategory3.ID"
                 " Where subcategory4.LinkID = 9 And subcategory2.LinkID = 5  And subcategory1.LinkID = 3  And subcategory3.LinkID = 8 Order by subcategory4.subcategory4 "});
    s.push_back({"Get_Categories 5", T,
                 "SELECT subcategory5.ID, subcategory5.subcategory5  FROM subcategory5 INNER JOIN (subcategory4 INNER JOIN (subcategory3 INNER JOIN (subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON subcategory1.LinkID = category.ID) ON subcategory2.LinkID = subcategory1.ID) ON subcategory3.LinkID = subcategory2.ID) ON subcategory4.LinkID = subcategory3.ID) ON subcategory5.LinkID = subcategory4.ID"
                 " WHERE (((subcategory5.LinkID)= 10) AND ((subcategory4.LinkID)= 9) AND ((subcategory2.LinkID)= 5) AND ((subcategory1.LinkID)= 3) AND ((subcategory3.LinkID)= 8)) Order by subcategory5.subcategory5 ;"});
    s.push_back({"GetCategoryName", T, "select subcategory2 from subcategory2 where ID = 5"});
    // Listings.
    s.push_back({"Get_entriesList_LEVEL", T,
                 "VeldaSQL..ESP_SP_Get_Entries_List_level '3', '5','', '', '', '','','2005','1'"});
    s.push_back({"Get_entriesList", T, "VeldaSQL..ESP_SP_Get_Entries_List '3', '','', '', '', '','',''"});
    s.push_back({"GetSponsorLevel", T,
                 "select * FROM campaigns where Camplevel = '3' and getdate() between begindate and enddate and activeind = 'Y' and  clientID = 7"});
    s.push_back({"Get_entriespecific", T, "select * from entries where ID = 42"});
    s.push_back({"Count_entries_Per_Categories", T,
                 "select sum(entryCNT) as NumEntries from entrycounts where categoryid = '3'  and subcategoryid1 = '5'  and subcategoryid2 = '8'"});
    s.push_back({"Count_entries_Per_Categories all", T, "select sum(entrycnt) as NumEntries from entrycounts"});
    // Search.
    s.push_back({"Get_SimpleSearch or", T,
                 "SELECT * from entries where  categoryID like '3' and subcategoryID1 like '%' and subcategoryID2 like '%' and subcategoryID3 like '%' and subcategoryID4 like '%' and subcategoryID5 like '%'"
                 " and entries.activeInd = 'Y' And getdate() <= expiredate  and (title Like '%brake%' or title like '%pad%') order by title"});
    s.push_back({"Get_SimpleSearch and year", T,
                 "SELECT * from entries where  categoryID like '%' and subcategoryID1 like '%' and subcategoryID2 like '%' and subcategoryID3 like '%' and subcategoryID4 like '%' and subcategoryID5 like '%'"
                 " And getdate() <= expiredate and entries.activeInd = 'Y' and '2005' between beg_year and end_year  and (title Like '%brake%' and title like '%%' and title like '%pad%') order by sale_price desc"});
    s.push_back({"Get_SimpleSearch phrase", T,
                 "SELECT * from entries where  categoryID like '%' and subcategoryID1 like '%' and subcategoryID2 like '%' and subcategoryID3 like '%' and subcategoryID4 like '%' and subcategoryID5 like '%'"
                 " and getdate() <= expiredate and entries.activeInd = 'Y' and title like '%brake pad%' order by title"});
    s.push_back({"Get_SimpleSearchCategories", T, SearchCategoriesQuery("", "'%brake%'")});
    s.push_back({"Get_SimpleSearchCategories year", T, SearchCategoriesQuery("2005", "'%brake%' or title like '%pad%'")});
    // Client details and images.
    s.push_back({"GetClientInfo", T, "select * from clients where ID = 7"});
    s.push_back({"GetClientLOGO", T, "select image from clients where ID = 7"});
    s.push_back({"GetRandomImages", T,
                 "select ID, TITLE, CONT_PART_NUMBER, LINK1, LINK2, MISCPARM1, MISCPARM2, MISCPARM3, CLIENTID, BEG_YEAR, END_YEAR, IMAGE1, SALE_PRICE, SUBCATEGORYid2 FROM entries"
                 " WHERE len(image1) > 4 and  getdate() <= expiredate and entries.activeInd = 'Y' and categoryID = '3' And '2005' BETWEEN entries.beg_year and entries.end_year "
                 " and subcategoryID1 = '5' and subcategoryID2 = ''"});
    return s;
  }();
  return all;
}

// The text of the shape a member sends, by its name in the list above.
inline const std::string& Shape(std::string_view member) {
  for (const MemberStatement& m : MemberStatements()) {
    if (m.member == member) return m.text;
  }
  throw std::logic_error("no member statement " + std::string(member));
}

}  // namespace ksmain::sql::testing
