// The portfolio's demonstration data: lookups, people, about forty projects with their
// steps, review meetings, revised completion dates and Kaizen results.
//
// Everything is generated from a fixed seed and fixed calendar dates, so two databases
// created from it hold the same rows and tests can rely on them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "schema/demo_random.h"
#include "schema/schema.h"

namespace ksmain::schema {
namespace {

constexpr int kDemoProjects = 40;

// Status keys as the members use them: 2 closes a project or step, 6 marks a step deleted.
constexpr int kStatusActive = 1;
constexpr int kStatusClosed = 2;
constexpr int kStatusOnHold = 3;
constexpr int kStatusDeleted = 6;

// Project type whose ranking scores the save member fixes at 5.
constexpr int kTypeFixedScores = 22;

constexpr std::array kProjectWords = {
    "Reduce",     "Streamline", "Automate",  "Standardise", "Improve",  "Consolidate",
    "Relocate",   "Upgrade",    "Redesign",  "Simplify",    "Digitise", "Rebalance"};
constexpr std::array kProjectObjects = {
    "paint line changeover", "warehouse picking",  "supplier onboarding", "invoice approval",
    "press shop scrap",      "weld cell layout",   "customer returns",    "tool crib",
    "shipping documents",    "quality inspection", "spare parts stock",   "shift handover",
    "energy use",            "forklift routes"};
constexpr std::array kStepNames = {"Define scope",   "Measure baseline", "Analyse causes",
                                   "Design changes", "Pilot",            "Roll out",
                                   "Train staff",    "Verify results"};

struct Person {
  const char* first;
  const char* last;
  const char* title;
};
constexpr std::array kPeople = {
    Person{"Alice", "Moreno", "Plant Manager"},     Person{"Brian", "Okafor", "Process Engineer"},
    Person{"Chen", "Li", "Quality Lead"},           Person{"Dana", "Schulz", "Buyer"},
    Person{"Emil", "Novak", "Maintenance Planner"}, Person{"Fatima", "Haddad", "Controller"},
    Person{"Gareth", "Evans", "Line Supervisor"},   Person{"Hana", "Sato", "IT Analyst"},
    Person{"Ivan", "Petrov", "Logistics Lead"},     Person{"Julia", "Costa", "Sales Manager"},
    Person{"Kwame", "Mensah", "Safety Officer"},    Person{"Laura", "Fischer", "Engineer"},
    Person{"Marek", "Kowalski", "Technician"},      Person{"Nina", "Berg", "Planner"},
    Person{"Omar", "Aziz", "Continuous Improvement Lead"}};

// First working day of the demo calendar; project dates are spread over the two years
// that follow it.
const double kCalendarStart = vb::DateSerial({2025, 1, 6});

Variant DayOffset(double days) { return Variant::FromDate(kCalendarStart + static_cast<int>(days)); }

// m/d/yyyy, as pages write the meeting dates.
std::string ShortDate(double serial) {
  vb::DateParts p = vb::SplitDate(serial);
  return std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + std::to_string(p.year);
}

void FillLookups(data::EngineDatabase& db) {
  const char* departments[][2] = {{"ENG", "Engineering"}, {"MFG", "Manufacturing"},
                                  {"QA", "Quality"},      {"LOG", "Logistics"},
                                  {"FIN", "Finance"},     {"IT", "Information Technology"}};
  for (int i = 0; i < 6; ++i) {
    db.Run("INSERT INTO department (id, departmentno, departmentname) VALUES (?, ?, ?)",
           {Variant(i + 1), Variant(departments[i][0]), Variant(departments[i][1])});
  }
  const char* priorities[] = {"High", "Medium", "Low", "Critical"};
  for (int i = 0; i < 4; ++i) {
    db.Run("INSERT INTO priority (id, priorityno, prioritydescription) VALUES (?, ?, ?)",
           {Variant(i + 1), Variant(std::to_string(i + 1)), Variant(priorities[i])});
  }
  const std::pair<int, const char*> types[] = {{1, "Cost reduction"}, {2, "Quality"},
                                               {3, "Safety"},         {4, "Capacity"},
                                               {5, "Customer service"}, {kTypeFixedScores, "Kaizen blitz"}};
  for (auto [id, name] : types) {
    db.Run("INSERT INTO \"type\" (id, typeno, typedescription) VALUES (?, ?, ?)",
           {Variant(id), Variant(std::to_string(id)), Variant(name)});
  }
  const std::pair<int, const char*> statuses[] = {{kStatusActive, "Active"},   {kStatusClosed, "Closed"},
                                                  {kStatusOnHold, "On hold"},  {4, "Planned"},
                                                  {5, "Cancelled"},            {kStatusDeleted, "Deleted"}};
  for (auto [id, name] : statuses) {
    db.Run("INSERT INTO Status (id, statuscode, description) VALUES (?, ?, ?)",
           {Variant(id), Variant(std::string(1, name[0])), Variant(name)});
  }
  const char* ranks[] = {"Very low", "Low", "Medium", "High", "Very high"};
  for (int i = 0; i < 5; ++i) {
    db.Run("INSERT INTO \"rank\" (id, rankno, rankdescription) VALUES (?, ?, ?)",
           {Variant(i + 1), Variant(std::to_string(i + 1)), Variant(ranks[i])});
  }
  db.Run("INSERT INTO globalvars (maintitle, SecurityEnabled, DefaultSecuritySettings) "
         "VALUES (?, ?, ?)",
         {Variant("Improvement Project Portfolio"), Variant(false), Variant("ReadOnly")});
  const char* kaizen[][2] = {{"Cycle time", "minutes"},  {"Scrap rate", "percent"},
                             {"Floor space", "sq ft"},   {"Inventory", "dollars"},
                             {"Changeover", "minutes"},  {"Travel distance", "feet"}};
  for (int i = 0; i < 6; ++i) {
    db.Run("INSERT INTO KaizenEvents (ID, KaizenEvent, Units) VALUES (?, ?, ?)",
           {Variant(i + 1), Variant(kaizen[i][0]), Variant(kaizen[i][1])});
  }
}

void FillPeople(data::EngineDatabase& db) {
  // Key 1 stands for nobody; lists of people put it first or leave it out.
  db.Run("INSERT INTO Resource (ID, ResourceNo, Department, FirstName, LastName, Title, NoOfProjects) "
         "VALUES (1, 'R000', 1, 'Unassigned', '', '', 0)");
  for (std::size_t i = 0; i < kPeople.size(); ++i) {
    db.Run("INSERT INTO Resource (ID, ResourceNo, Department, FirstName, LastName, Title, NoOfProjects) "
           "VALUES (?, ?, ?, ?, ?, ?, 0)",
           {Variant(static_cast<std::int32_t>(i + 2)),
            Variant("R" + std::to_string(100 + i)), Variant(static_cast<std::int32_t>(i % 6 + 1)),
            Variant(kPeople[i].first), Variant(kPeople[i].last), Variant(kPeople[i].title)});
  }
}

int PersonKey(DemoRandom& rng) { return 2 + rng.Below(static_cast<int>(kPeople.size())); }

// One project with its steps, step resources and Kaizen results. `ordinal` numbers the
// project for its name and project number; `today` is where closed and open work divides.
void AddProject(data::EngineDatabase& db, DemoRandom& rng, int ordinal) {
  const double start = rng.Below(600);
  const double length = 30 + rng.Below(240);
  const double today = 420;  // days into the calendar: earlier work is done
  int status = kStatusActive;
  if (start + length < today) status = rng.Below(4) == 0 ? kStatusOnHold : kStatusClosed;
  else if (start > today) status = 4;
  if (rng.Below(15) == 0) status = 5;
  const int type = rng.Below(8) == 0 ? kTypeFixedScores : 1 + rng.Below(5);
  std::array<int, 5> scores{};
  for (int& s : scores) s = type == kTypeFixedScores ? 5 : 1 + rng.Below(5);
  const int rank = scores[0] + scores[1] + scores[2] + scores[3] + scores[4];
  const int percent = status == kStatusClosed ? 100 : status == 4 ? 0 : 10 * rng.Below(10);
  const std::int64_t est_cost = 1000 * (5 + rng.Below(200));
  const Variant act_cost = status == kStatusClosed
                               ? Variant::FromCurrency((est_cost * (80 + rng.Below(50)) / 100) * 10000)
                               : Variant::Null();
  std::string name = std::string(kProjectWords[rng.Below(kProjectWords.size())]) + " " +
                     kProjectObjects[rng.Below(kProjectObjects.size())];
  const int owner = PersonKey(rng);
  std::vector<Variant> row = {
      Variant(name),
      Variant("P" + std::to_string(1000 + ordinal)),
      Variant(1 + rng.Below(4)),
      Variant(1 + rng.Below(6)),
      Variant(owner),
      Variant(PersonKey(rng)),
      Variant(status),
      Variant(type),
      Variant(static_cast<double>(rank)),
      Variant(percent),
      DayOffset(start),
      start <= today ? DayOffset(start + rng.Below(10)) : Variant::Null(),
      DayOffset(start + length),
      status == kStatusClosed ? DayOffset(start + length + rng.Below(30) - 10) : Variant::Null(),
      Variant::FromCurrency(est_cost * 10000),
      act_cost,
      DayOffset(start + length / 2),
      Variant(static_cast<std::int16_t>(scores[0])),
      Variant(static_cast<std::int16_t>(scores[1])),
      Variant(static_cast<std::int16_t>(scores[2])),
      Variant(static_cast<std::int16_t>(scores[3])),
      Variant(static_cast<std::int16_t>(scores[4])),
      Variant("Site " + std::to_string(1 + rng.Below(3))), Variant(""), Variant(""), Variant(""),
      Variant(""),
      Variant("Started after the " + std::to_string(2024 + rng.Below(2)) + " review."),
      Variant("Lower cost and shorter lead time."),
      Variant("A measurable gain within one quarter of completion."),
  };
  db.Run(
      "INSERT INTO ProjectMaster (NameOfProject, ProjectNo, Priority, Department, ProjectOwner, "
      "SubmittedBy, Status, ProjectType, ProjectRank, PercentCompleted, EstDateStarted, "
      "ActDateStarted, EstDateCompleted, ActDateCompleted, EstProjectCost, ActProjectCost, "
      "ReviewDate, SuccessRank, CostRank, TimeRank, ImprCompanyRank, ImprCustomerRank, misc1, "
      "misc2, misc3, misc4, misc5, Comments, Benefits, ExpectedResults) VALUES "
      "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
      row);
  const std::int64_t project = db.LastInsertId();

  const int steps = 3 + rng.Below(4);
  double step_start = start;
  for (int s = 0; s < steps; ++s) {
    const double step_length = std::max(3.0, length / steps);
    int step_status = status == kStatusClosed || step_start + step_length < today
                          ? kStatusClosed
                          : kStatusActive;
    if (rng.Below(20) == 0) step_status = kStatusDeleted;
    const int resource = rng.Below(10) == 0 ? 1 : PersonKey(rng);
    db.Run(
        "INSERT INTO ProjectSteps (StepName, ProjectID, ResourceID, EstTime, ActTime, EstCost, "
        "ActCost, EstStartDate, ActStartDate, EstCompletionDate, ActCompletionDate, Status, Misc1, "
        "Misc2, Description, PercentCompleted) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {Variant(kStepNames[s % kStepNames.size()]), Variant(static_cast<std::int32_t>(project)),
         Variant(resource), Variant(static_cast<double>(8 * (1 + rng.Below(10)))),
         step_status == kStatusClosed ? Variant(static_cast<double>(8 * (1 + rng.Below(12))))
                                      : Variant::Null(),
         Variant::FromCurrency(std::int64_t{500} * (1 + rng.Below(20)) * 10000),
         Variant::Null(), DayOffset(step_start),
         step_start <= today ? DayOffset(step_start) : Variant::Null(),
         DayOffset(step_start + step_length),
         step_status == kStatusClosed ? DayOffset(step_start + step_length) : Variant::Null(),
         Variant(step_status), Variant(""), Variant(""),
         Variant("Step " + std::to_string(s + 1) + " of " + name),
         Variant(step_status == kStatusClosed ? 100 : 10 * rng.Below(10))});
    const std::int64_t step = db.LastInsertId();
    for (int extra = rng.Below(3); extra > 0; --extra) {
      db.Run("INSERT INTO ProjectStepResources (ProjectStepID, ResourceID) VALUES (?, ?)",
             {Variant(static_cast<std::int32_t>(step)), Variant(PersonKey(rng))});
    }
    step_start += step_length;
  }

  for (int k = rng.Below(4) == 0 ? 1 + rng.Below(2) : 0; k > 0; --k) {
    const double before = 10 + rng.Below(90);
    const double after = before * (40 + rng.Below(50)) / 100.0;
    const bool verified = status == kStatusClosed && rng.Below(3) != 0;
    // Some results still await their after-figure.
    const bool measured = rng.Below(6) != 0;
    db.Run(
        "INSERT INTO KaizenResults (ProjectID, KaizenEventID, ImpBefore, ImpAfter, ImpDiff, "
        "VerifiedBefore, VerifiedAfter, VerifiedDiff, VerifiedDate, VerifiedBy, KNotes, "
        "DateTimeValue) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
        {Variant(static_cast<std::int32_t>(project)), Variant(1 + rng.Below(6)), Variant(before),
         measured ? Variant(after) : Variant::Null(),
         measured ? Variant(before - after) : Variant::Null(),
         verified ? Variant(before) : Variant::Null(), verified ? Variant(after) : Variant::Null(),
         verified ? Variant(before - after) : Variant::Null(),
         verified ? DayOffset(start + length + 20) : Variant::Null(),
         verified ? Variant(PersonKey(rng)) : Variant::Null(), Variant("Measured on the line."),
         DayOffset(start + length / 2)});
  }
}

void RecountOwnedProjects(data::EngineDatabase& db) {
  db.Run("UPDATE Resource SET NoOfProjects = "
         "(SELECT count(*) FROM ProjectMaster WHERE ProjectOwner = Resource.ID)");
}

void FillMeetings(data::EngineDatabase& db, DemoRandom& rng) {
  // Eight review meetings a month apart; the last two are planned but not yet held (their
  // actual date is the empty text, as the meeting page leaves it).
  for (int m = 0; m < 8; ++m) {
    const double planned = kCalendarStart + 30.0 * m + 14;
    const std::string actual = m < 6 ? ShortDate(planned + rng.Below(3)) : std::string();
    for (int a = 3 + rng.Below(4); a > 0; --a) {
      db.Run("INSERT INTO Attendees (AttendeeID, PlannedReviewDate, ActualReviewDate) "
             "VALUES (?, ?, ?)",
             {Variant(PersonKey(rng)), Variant(ShortDate(planned)), Variant(actual)});
    }
  }
}

void FillRevisedDates(data::EngineDatabase& db, DemoRandom& rng) {
  auto projects = db.Rows("SELECT ID, EstDateCompleted FROM ProjectMaster ORDER BY ID LIMIT 12");
  for (const auto& row : projects) {
    const double estimate = row[1].AsDate();
    for (int r = 1 + rng.Below(2); r > 0; --r) {
      db.Run("INSERT INTO projectRevisedDates (ProjectID, RevisedEstCompDate, DateTimeValue) "
             "VALUES (?, ?, ?)",
             {row[0], Variant::FromDate(estimate - 14.0 * r),
              Variant::FromDate(estimate - 60.0 * r + 0.375)});
    }
  }
}

}  // namespace

void FillPortfolioDemo(data::EngineDatabase& db) {
  DemoRandom rng(20260106);
  FillLookups(db);
  FillPeople(db);
  for (int p = 1; p <= kDemoProjects; ++p) AddProject(db, rng, p);
  RecountOwnedProjects(db);
  FillMeetings(db, rng);
  FillRevisedDates(db, rng);
}

void AddDemoProjects(const std::string& path, int count) {
  data::EngineDatabase db = data::EngineDatabase::Open(path);
  // A server counts in a 64-bit integer, which no recordset kind holds; the cast keeps the
  // count a Long on both engines.
  const Variant existing = db.Scalar("SELECT CAST(count(*) AS INTEGER) FROM ProjectMaster");
  const int first = existing.kind() == VarKind::Long ? existing.AsLong() + 1 : 1;
  DemoRandom rng(static_cast<std::uint32_t>(first) * 7919u + 17u);
  // IMMEDIATE takes the embedded file's write lock at once; a server has no such form.
  db.Script(db.server() ? "BEGIN" : "BEGIN IMMEDIATE");
  try {
    for (int p = 0; p < count; ++p) AddProject(db, rng, first + p);
    RecountOwnedProjects(db);
    db.Script("COMMIT");
  } catch (...) {
    db.Script("ROLLBACK");
    throw;
  }
}

}  // namespace ksmain::schema
