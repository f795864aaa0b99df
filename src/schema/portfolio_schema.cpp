// The portfolio database: tables, keys and indexes.
//
// Column types follow what the members write and read: keys and counts INTEGER (Long),
// the five ranking scores SMALLINT (Integer), costs MONEY (Currency), dates DATETIME held
// as ISO text so their text order is date order, names and free text case-insensitive as
// the source engine compared them.
//
// The two review-meeting dates of Attendees are the exception: pages write them as quoted
// text, the meeting members match them as text (a meeting is the set of rows sharing both
// texts, and a page hands the stored text back to pick a meeting), and the listings convert
// PlannedReviewDate with cdate() to order by date. They are therefore kept as the text the
// page wrote, not as DATETIME.
#include <string_view>

#include "data/engine_admin.h"
#include "schema/database_file.h"
#include "schema/schema.h"

namespace ksmain::schema {
namespace {

constexpr std::string_view kPortfolioDdl = R"sql(
CREATE TABLE department (
  id             INTEGER PRIMARY KEY,
  departmentno   VARCHAR(20)  COLLATE NOCASE,
  departmentname VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE priority (
  id                  INTEGER PRIMARY KEY,
  priorityno          VARCHAR(20)  COLLATE NOCASE,
  prioritydescription VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE "type" (
  id              INTEGER PRIMARY KEY,
  typeno          VARCHAR(20)  COLLATE NOCASE,
  typedescription VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE Status (
  id          INTEGER PRIMARY KEY,
  statuscode  VARCHAR(20)  COLLATE NOCASE,
  description VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE "rank" (
  id              INTEGER PRIMARY KEY,
  rankno          VARCHAR(20)  COLLATE NOCASE,
  rankdescription VARCHAR(100) COLLATE NOCASE
);

CREATE TABLE Resource (
  ID           INTEGER PRIMARY KEY,
  ResourceNo   VARCHAR(20)  COLLATE NOCASE,
  Department   INTEGER,
  FirstName    VARCHAR(50)  COLLATE NOCASE,
  LastName     VARCHAR(50)  COLLATE NOCASE,
  Title        VARCHAR(100) COLLATE NOCASE,
  NoOfProjects INTEGER DEFAULT 0
);
CREATE INDEX Resource_Department ON Resource (Department);
CREATE INDEX Resource_Name ON Resource (LastName, FirstName);

CREATE TABLE ProjectMaster (
  ID               INTEGER PRIMARY KEY,
  NameOfProject    VARCHAR(255) COLLATE NOCASE,
  ProjectNo        VARCHAR(50)  COLLATE NOCASE,
  Priority         INTEGER,
  Department       INTEGER,
  ProjectOwner     INTEGER,
  SubmittedBy      INTEGER,
  Status           INTEGER,
  ProjectType      INTEGER,
  ProjectRank      REAL,
  PercentCompleted INTEGER,
  EstDateStarted   DATETIME,
  ActDateStarted   DATETIME,
  EstDateCompleted DATETIME,
  ActDateCompleted DATETIME,
  EstProjectCost   MONEY,
  ActProjectCost   MONEY,
  ReviewDate       DATETIME,
  SuccessRank      SMALLINT,
  CostRank         SMALLINT,
  TimeRank         SMALLINT,
  ImprCompanyRank  SMALLINT,
  ImprCustomerRank SMALLINT,
  misc1            VARCHAR(255) COLLATE NOCASE,
  misc2            VARCHAR(255) COLLATE NOCASE,
  misc3            VARCHAR(255) COLLATE NOCASE,
  misc4            VARCHAR(255) COLLATE NOCASE,
  misc5            VARCHAR(255) COLLATE NOCASE,
  Comments         TEXT COLLATE NOCASE,
  Benefits         TEXT COLLATE NOCASE,
  ExpectedResults  TEXT COLLATE NOCASE
);
CREATE INDEX ProjectMaster_Owner ON ProjectMaster (ProjectOwner);
CREATE INDEX ProjectMaster_Status ON ProjectMaster (Status);
CREATE INDEX ProjectMaster_Rank ON ProjectMaster (ProjectRank);

CREATE TABLE ProjectSteps (
  ID                INTEGER PRIMARY KEY,
  StepName          VARCHAR(255) COLLATE NOCASE,
  ProjectID         INTEGER,
  ResourceID        INTEGER,
  EstTime           REAL,
  ActTime           REAL,
  EstCost           MONEY,
  ActCost           MONEY,
  EstStartDate      DATETIME,
  ActStartDate      DATETIME,
  EstCompletionDate DATETIME,
  ActCompletionDate DATETIME,
  Status            INTEGER,
  Misc1             VARCHAR(255) COLLATE NOCASE,
  Misc2             VARCHAR(255) COLLATE NOCASE,
  Description       TEXT COLLATE NOCASE,
  PercentCompleted  INTEGER
);
CREATE INDEX ProjectSteps_Project ON ProjectSteps (ProjectID);
CREATE INDEX ProjectSteps_Resource ON ProjectSteps (ResourceID);

CREATE TABLE ProjectStepResources (
  ID            INTEGER PRIMARY KEY,
  ProjectStepID INTEGER,
  ResourceID    INTEGER,
  misc1         VARCHAR(255) COLLATE NOCASE,
  misc2         VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX ProjectStepResources_Step ON ProjectStepResources (ProjectStepID);
CREATE INDEX ProjectStepResources_Resource ON ProjectStepResources (ResourceID);

CREATE TABLE Attendees (
  ID                INTEGER PRIMARY KEY,
  AttendeeID        INTEGER,
  PlannedReviewDate VARCHAR(50) COLLATE NOCASE,
  ActualReviewDate  VARCHAR(50) COLLATE NOCASE
);
CREATE INDEX Attendees_Attendee ON Attendees (AttendeeID);
CREATE INDEX Attendees_Planned ON Attendees (PlannedReviewDate);
CREATE INDEX Attendees_Actual ON Attendees (ActualReviewDate);

-- The insert that records a replaced estimate does not set DateTimeValue; the default is
-- the local time of insertion in the canonical ISO form (date only at midnight).
CREATE TABLE projectRevisedDates (
  ID                 INTEGER PRIMARY KEY,
  ProjectID          INTEGER,
  RevisedEstCompDate DATETIME,
  DateTimeValue      DATETIME DEFAULT (replace(datetime('now', 'localtime'), ' 00:00:00', ''))
);
CREATE INDEX projectRevisedDates_Project ON projectRevisedDates (ProjectID);

CREATE TABLE globalvars (
  maintitle               VARCHAR(255) COLLATE NOCASE,
  SecurityEnabled         BIT,
  DefaultSecuritySettings VARCHAR(255) COLLATE NOCASE
);

CREATE TABLE KaizenEvents (
  ID          INTEGER PRIMARY KEY,
  KaizenEvent VARCHAR(100) COLLATE NOCASE,
  Units       VARCHAR(50)  COLLATE NOCASE
);

CREATE TABLE KaizenResults (
  ID             INTEGER PRIMARY KEY,
  ProjectID      INTEGER,
  KaizenEventID  INTEGER,
  ImpBefore      REAL,
  ImpAfter       REAL,
  ImpDiff        REAL,
  VerifiedBefore REAL,
  VerifiedAfter  REAL,
  VerifiedDiff   REAL,
  VerifiedDate   DATETIME,
  VerifiedBy     INTEGER,
  KNotes         TEXT COLLATE NOCASE,
  DateTimeValue  DATETIME DEFAULT (replace(datetime('now', 'localtime'), ' 00:00:00', ''))
);
CREATE INDEX KaizenResults_Project ON KaizenResults (ProjectID);
CREATE INDEX KaizenResults_Event ON KaizenResults (KaizenEventID);
)sql";

}  // namespace

std::string_view PortfolioDdl() { return kPortfolioDdl; }

void FillPortfolioDemo(data::EngineDatabase& db);  // portfolio_demo.cpp

void CreatePortfolioDatabase(const std::string& path, bool demo) {
  CreateDatabaseFile(path, kPortfolioDdl, [demo](data::EngineDatabase& db) {
    if (demo) FillPortfolioDemo(db);
  });
}

}  // namespace ksmain::schema
