// The portfolio tests' fixture: a page with a fresh database, one Kestrel instance and the
// grid it fills; and a small portfolio shared by the project list and Gantt view tests.
#pragma once

#include <gtest/gtest.h>

#include "ksmain/kestrel.h"
#include "support/fixture.h"

namespace ksmain::testing {

// Projects 10-15 with their lookups. 13 points at rows that do not exist (every join
// Null); 14 has no department (a Null in a filtered column); 11 and 12 are closed (status
// 2), 12 most recently; 15 finished half way through its hundred planned days.
inline void AddProjects(TempDb& db) {
  db.Exec(
      "INSERT INTO Resource (ID, FirstName, LastName, NoOfProjects) VALUES"
      " (1, 'Ann', 'Baker', 3), (2, 'Bo', 'Chen', 1);"
      "INSERT INTO \"type\" VALUES (1, 'T1', 'Kaizen');"
      "INSERT INTO priority VALUES (1, 'P1', 'High');"
      "INSERT INTO Status VALUES (1, 'S1', 'Open'), (2, 'S2', 'Closed');"
      "INSERT INTO department VALUES (1, 'D1', 'Ops');"
      "INSERT INTO ProjectMaster (ID, ProjectNo, NameOfProject, Priority, Department,"
      " ProjectOwner, Status, ProjectType, ProjectRank, PercentCompleted, EstDateStarted,"
      " EstDateCompleted, ActDateCompleted) VALUES"
      " (10, 'P-10', 'Alpha', 1, 1, 1, 1, 1, 6, 40, '2020-01-01', '2020-04-10', NULL),"
      " (11, 'P-11', 'Beta',  1, 1, 2, 2, 1, 5, 100, '2021-01-01', '2021-02-01', '2021-03-01'),"
      " (12, 'P-12', 'Gamma', 1, 1, 1, 2, 1, 4, 100, '2022-01-01', '2022-04-01', '2022-05-01'),"
      " (13, 'P-13', 'Orphan', 99, 99, 99, 99, 99, 3, NULL, '2023-01-01', '2023-02-01', NULL),"
      " (14, 'P-14', 'NoDept', 1, NULL, 1, 1, 1, 2, 0, '2023-01-01', '2023-02-01', NULL),"
      " (15, 'P-15', 'Half', 1, 1, 2, 1, 1, 1, 20, '2030-01-01', '2030-04-11', '2030-02-20');");
}

// The page on the engine the suite is instantiated for; SetUp skips the server cases when
// the run has no server (suites with rows of their own call it first).
class PortfolioPage : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
  TempDb db{TempDb::Kind::Portfolio, false, GetParam()};
  Kestrel k;
  Variant grid, connect = db.connect();
};

}  // namespace ksmain::testing
