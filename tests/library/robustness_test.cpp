// Every registered member of every class, called late-bound as a page calls it, with an odd
// value in each parameter in turn, in all of them at once, and in each cell of an input
// array: nothing crashes, a failure reaches the caller as a runtime error only (and only
// from the members that arm no trap), and no value reaches the database as SQL of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "frame/app_log.h"
#include "ksmain/catalogue.h"
#include "ksmain/dispatch.h"
#include "maint/maint_fixture.h"
#include "support/fixture.h"
#include "support/small_stack.h"

namespace ksmain::testing {
namespace {

struct Odd {
  const char* label;
  Variant value;
  // No member may act on it: in a key parameter the database stays as it was; in a cell of
  // an input array (which a member may store as quoted text) no row goes away.
  bool never_valid;
};

std::vector<Odd> OddValues() {
  std::string huge(200 * 1024, '9');
  huge[10] = '\'';
  VarArray shifted({ArrayBound{5, 7}});
  return {
      {"Empty", Variant(), false},
      {"Null", Variant::Null(), false},
      {"Integer", Variant(std::int16_t{-1}), false},
      {"Long", Variant(std::numeric_limits<std::int32_t>::max()), false},
      {"NaN", Variant(std::nan("")), false},
      {"Inf", Variant(std::numeric_limits<double>::infinity()), false},
      {"Currency", Variant::FromCurrency(-123456789), false},
      {"Date", Variant::FromDate(-657434), false},
      {"Boolean", Variant(true), false},
      {"empty text", Variant(""), false},
      {"huge text", Variant(std::move(huge)), false},
      {"statement text", Variant("1; DROP TABLE ProjectMaster"), true},
      {"quoted statement", Variant("1'; DELETE FROM entries; --"), true},
      {"always true", Variant("x' OR ''='"), true},
      {"row", Variant(VarArray::Of({Variant(1), Variant("a")})), true},
      {"grid", Variant(VarArray::Grid(2, 2)), true},
      {"shifted bounds", Variant(std::move(shifted)), true},
      {"nested", Variant(VarArray::Of(std::vector<Variant>(30, Variant(VarArray::Grid(1, 1))))), true},
  };
}

// Members with no trap of their own: their failures reach the caller as runtime errors.
const std::set<std::string> kUntrapped = {
    "setProgressBarTarget", "setProgressBarActual", "CalcHorizontalBarGraphs", "SortArray",
    "Get_rptKaizenEvents",  "Set_year",             "GetCategoryName",         "GetClientInfo",
    "GetClientLOGO"};

// Parameters that pick the rows a member reads or writes.
const std::set<std::string> kKeys = {"objID", "ProjectNum", "PID", "projectID", "kid",
                                     "strProjectID", "objProjID", "objStepID", "strStepID",
                                     "strResourceID", "strProjectStepID", "clientID",
                                     "categoryID", "artID"};

// A value for each parameter that lets the member get as far as the database.
Variant Usual(const std::string& member, const std::string& param, const Variant& connect) {
  static const std::map<std::string, Variant> by_member = {
      {"UPD_ProjectMasterALL.arrtest", ProjectForm(Variant(1))},
      {"INS_UPD_ProjectSteps.arrtest",
       Form({"UPD", 1, "S", 1, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"})},
      {"UPD_ProjectRank.arrtest", Form({1, 1, 2, 3, 4, 5})},
      {"UpDateMeetingDates.arrtest", Form({"3/1/2026", "3/2/2026", 1})},
      {"UpDateStepResources.arrtest", Form({1, 2, 1})},
      {"UPD_ProjectGanttChart.arrtest", Form({1, "2/1/2026", "7/31/2026", 4})},
      {"UPD_StepGanttChart.arrtest", Form({1, "2/1/2026", "7/31/2026", 4})},
      {"Upd_ResourceAll.arrtest", Form({"", 1, "a.b", "", "Ann", "Lee", "T", "3", "x/y", "update"})},
      {"SortArray.DArray", Variant(VarArray::Grid(2, 1))},
      {"CalcHorizontalBarGraphs.objActualDays", Variant(40)},
      {"CalcHorizontalBarGraphs.objPercentCompleted", Variant(20)},
      {"CalcHorizontalBarGraphs.objEstDateStarted", Variant("1/1/2026")},
      {"CalcHorizontalBarGraphs.objEstDateCompleted", Variant("4/11/2026")},
      {"ManageKaizenEvents.strSQL", Variant("SELECT * FROM KaizenEvents")},
      {"Update_ProjectRevisedCompDates.EstCompletionDate", Variant("7/31/2026")},
      {"Update_ProjectRevisedCompDates.action", Variant("1")},
      {"UpDateMeetingDates.action", Variant("3")},
      {"UpDateStepResources.action", Variant("3")},
      {"Get_Attendees.QueryType", Variant(1)},
      {"Get_ReviewDates.QueryType", Variant(1)},
  };
  if (auto it = by_member.find(member + "." + param); it != by_member.end()) return it->second;
  if (param == "strconnect") return connect;
  if (param == "RC") return Variant("rc");
  if (param == "arrTable") return Variant(VarArray::Of(std::vector<Variant>(29, Variant("1"))));
  if (kKeys.contains(param) || param == "cat" || param == "specs" || param == "levelind" ||
      param == "Element" || param == "SizeOf2ndArrayVar")
    return Variant("1");
  if (param.starts_with("obj") && param.ends_with("Date")) return Variant("1/1/2026");
  if (param == "strActualReviewDate") return Variant("3/1/2026");
  if (param == "year" || param == "inputyear") return Variant("2026");
  return Variant();
}

class Robustness : public ::testing::Test {
 protected:
  Robustness() {
    SetApplicationLogSink([](std::string_view) {});  // several members log each refusal
    data::SetDataSource(data::CatalogueHost(), catalogue_.source());
  }
  ~Robustness() override {
    SetApplicationLogSink({});
    data::ClearDataSources();
  }

  // Rows per table of both databases.
  std::map<std::string, std::string> Counts() {
    std::map<std::string, std::string> counts;
    for (TempDb* db : {&portfolio_, &catalogue_}) {
      for (const auto& row : db->Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
        const std::string table = vb::CStr(row[0]);
        counts[db->path() + ":" + table] = db->Scalar("SELECT count(*) FROM \"" + table + "\"");
      }
    }
    return counts;
  }

  TempDb portfolio_{TempDb::Kind::Portfolio, true};
  TempDb catalogue_{TempDb::Kind::Catalogue, true};
};

TEST_F(Robustness, EveryMemberSurvivesAnOddValueInEveryParameterAndCell) {
  ASSERT_EQ(DllRegisterServer(), 0);
  const std::vector<Odd> odds = OddValues();
  std::set<std::string> raised;
  int calls = 0;
  for (const ClassInfo& c : RegisteredClasses()) {
    auto object = CreateObject(c.progid);
    const Variant connect = c.name == "InsertTable_summary" ? catalogue_.connect() : portfolio_.connect();
    for (const MemberInfo& m : c.members) {
      std::vector<Variant> usual;
      for (const ParamInfo& p : m.params) usual.push_back(Usual(m.name, p.name, connect));
      // One call: the odd value in parameter `p` (all of them when p == size), or in cell
      // `cell` of that parameter's array when cell >= 0.
      auto call = [&](const Odd& odd, std::size_t p, int cell) {
        std::vector<Variant> args = usual;
        for (std::size_t i = 0; i < args.size(); ++i) {
          if (i != p && p != args.size()) continue;
          if (cell < 0) {
            args[i] = odd.value;
          } else {
            args[i].MutableArray().cells()[cell] = odd.value;
          }
        }
        const bool check_db = odd.never_valid && p < args.size() &&
                              (kKeys.contains(m.params[p].name) || cell >= 0);
        SCOPED_TRACE(c.name + "." + m.name + " parameter " + std::to_string(p) + " cell " +
                     std::to_string(cell) + " = " + odd.label);
        const auto before = check_db ? Counts() : std::map<std::string, std::string>{};
        std::vector<Variant*> pointers;
        for (Variant& a : args) pointers.push_back(&a);
        try {
          object->Invoke(m.dispid, pointers);
        } catch (const VbError&) {
          // A by-value String parameter converts before the member runs (94, 13).
          bool converting = false;
          for (std::size_t i = 0; i < args.size(); ++i) {
            converting |= (i == p || p == args.size()) && !m.params[i].by_ref &&
                          m.params[i].type == ParamType::String;
          }
          if (!converting) raised.insert(m.name);
        } catch (const std::exception& e) {
          ADD_FAILURE() << "not a runtime error: " << e.what();
        }
        if (check_db && cell < 0) {
          EXPECT_EQ(Counts(), before);
        } else if (check_db) {
          for (const auto& [table, count] : Counts()) {
            EXPECT_GE(std::stol(count), std::stol(before.at(table))) << table;
          }
        }
        ++calls;
      };
      for (const Odd& odd : odds) {
        for (std::size_t p = 0; p <= m.params.size(); ++p) call(odd, p, -1);
        for (std::size_t p = 0; p < m.params.size(); ++p) {
          if (!usual[p].IsArray()) continue;
          for (std::size_t cell = 0; cell < usual[p].AsArray().size(); ++cell) {
            call(odd, p, static_cast<int>(cell));
          }
        }
      }
    }
  }
  EXPECT_GT(calls, 5000);
  for (const std::string& name : raised) {
    EXPECT_TRUE(kUntrapped.contains(name)) << name << " arms a trap yet let an error through";
  }
  // Nothing a value carried reached beyond the rows the members address.
  EXPECT_NE(portfolio_.Scalar("SELECT count(*) FROM sqlite_master WHERE name = 'ProjectMaster'"), "0");
  EXPECT_NE(catalogue_.Scalar("SELECT count(*) FROM entries"), "0");
}


// A long text from a page becomes a long statement: a search of 30,000 blanks (one word
// each) still searches, through the member, the data layer and the engine, without
// exhausting the stack of the thread that calls. (A statement too deep for the front end,
// refused on the same stack: Rejections.LongChainsWorkAndDeepTreesFailAsStatementErrors;
// a refused statement ending a trapped member: Kaizen.PageStatements.)
TEST_F(Robustness, LongCriteriaSearchOnAWorkerThread) {
  // The number of entries a search finds; one empty word finds every available one.
  auto search = [&](const std::string& criteria) {
    InsertTable_summary cat;
    Variant grid(VarArray::Grid(250, 25)), conn = catalogue_.connect(), count;
    cat.Get_SimpleSearch(grid, conn, count, "", "", "", "", "", "", criteria, "", "1", "");
    return vb::CStr(grid.AsArray().at({0, 0}));
  };
  const std::string searched = search("");
  ASSERT_GT(std::stoi(searched), 0);
  std::string outcome;
  OnSmallStack([&] { outcome = search(std::string(30000, ' ')); });
  EXPECT_EQ(outcome, searched);
}

}  // namespace
}  // namespace ksmain::testing
