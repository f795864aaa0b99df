// The pieces the project list and the project Gantt view share: the head of their SELECT,
// the outer joins that keep every project, and the five like-filters.
#pragma once

#include <string>

#include "ksmain/variant.h"
#include "sql/safety.h"

namespace ksmain {

// The first two literals of both SELECTs (the second starts with a blank of its own, so
// the joined text has two blanks after "EstDateStarted,").
inline constexpr const char* kProjectSelectHead =
    " SELECT ProjectMaster.ProjectNo, ProjectMaster.NameOfProject, "
    "ProjectMaster.PercentCompleted, ProjectMaster.EstDateCompleted, "
    "ProjectMaster.EstDateStarted, "
    " ProjectMaster.ActDateStarted, ProjectMaster.ActDateCompleted, ProjectMaster.ProjectRank, "
    "ProjectMaster.ID, Resource.FirstName, Resource.LastName, Type.TypeDescription, ";

// Every join points towards ProjectMaster, so a project whose owner, type, priority,
// status or department row is missing is still listed.
inline constexpr const char* kProjectJoins =
    " FROM Department RIGHT JOIN (Status RIGHT JOIN (Priority RIGHT JOIN (Type RIGHT JOIN "
    "(Resource RIGHT JOIN ProjectMaster ON Resource.ID = ProjectMaster.ProjectOwner) ON "
    "Type.ID = ProjectMaster.ProjectType) ON Priority.ID = ProjectMaster.Priority) ON "
    "Status.ID = ProjectMaster.Status) ON Department.ID = ProjectMaster.Department";

// The WHERE text of the five filters. They are like-patterns joined between quotes, so
// apostrophes are doubled; a Null filter joins as the empty text and matches nothing.
inline std::string FilterWhere(const Variant& status, const Variant& department,
                               const Variant& owner, const Variant& priority,
                               const Variant& type) {
  std::string where = " where projectmaster.status like '";
  where += sql::Quoted(status);
  where += "' and projectmaster.department like '";
  where += sql::Quoted(department);
  where += "' and projectmaster.ProjectOwner like '";
  where += sql::Quoted(owner);
  where += "'";
  where += " and projectmaster.Priority like '";
  where += sql::Quoted(priority);
  where += "' and projectmaster.projecttype like '";
  where += sql::Quoted(type);
  where += "'";
  return where;
}

}  // namespace ksmain
