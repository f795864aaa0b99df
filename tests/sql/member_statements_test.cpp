// Every statement shape the members send must translate and be accepted by the engine
// against both schemas (a select giving the same rows with its values bound as written
// out); the ones the source engines rejected must still be rejected.
#include <gtest/gtest.h>

#include "member_statements.h"
#include "sql_fixture.h"

namespace ksmain::sql::testing {
namespace {

TEST(MemberStatements, EveryShapeTranslatesAndRunsOnTheEngine) {
  Db portfolio(PortfolioCatalog());
  Db catalogue(CatalogueCatalog());
  for (const MemberStatement& m : MemberStatements()) {
    SCOPED_TRACE(m.member);
    Translation t;
    ASSERT_NO_THROW(t = Translate(m.text, m.dialect, CatalogFor(m.dialect))) << m.text;
    if (t.kind == StatementKind::ProcedureCall) {
      EXPECT_TRUE(t.text.empty());
      EXPECT_EQ(t.procedure.rfind("ESP_SP_Get_Entries_List", 0), 0u) << t.procedure;
      continue;
    }
    Db& db = m.dialect == Dialect::Jet ? portfolio : catalogue;
    if (t.kind != StatementKind::Select) {
      EXPECT_NO_THROW(db.Query(t.text)) << t.text;
      continue;
    }
    EXPECT_FALSE(t.columns.empty()) << t.text;
    EXPECT_NO_THROW(db.Run(m.text, m.dialect)) << m.text;
  }
}

// Values the members join unchecked give statements the source engines refused; the
// members rely on that failure, so the front end must refuse them too.
TEST(MemberStatements, StatementsTheSourceEnginesRejectedStayRejected) {
  struct Case {
    const char* what;
    Dialect dialect;
    const char* text;
  } cases[] = {
      {"1 key missing", Dialect::Jet, "SELECT id, RevisedEstCompDate FROM projectRevisedDates where ProjectID = "},
      {"2 empty sort", Dialect::Jet, "SELECT id, departmentno, departmentname FROM department Order by "},
      {"3 bare wild card", Dialect::Jet, "SELECT ID FROM ProjectStepResources where projectstepid = %"},
      {"4 value list ends in a comma", Dialect::Jet,
       "insert into attendees (plannedreviewdate, actualreviewdate, attendeeid) VALUES ('1/1/2026','1/2/2026',)"},
      // (An empty range date and a non-date written into a date column: parameter tests.)
      {"5 range date that is no date", Dialect::Jet,
       "SELECT ID FROM ProjectMaster where cdate(EstDateStarted) between cdate('soon') and cdate('1/1/2026')"},
      {"6 two title conditions without connector", Dialect::TSql,
       "SELECT * from entries where (title Like '%a%'  title like '%b%')"},
      {"7 empty statement", Dialect::Jet, ""},
      {"8 update without key", Dialect::Jet, "update Resource set FirstName = 'A' where id = "},
      {"9 quote inside a value", Dialect::TSql, "select * from clients where username = 'o'brien'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_THROW(Translate(c.text, c.dialect, CatalogFor(c.dialect)), SqlError);
  }
}

TEST(MemberStatements, ProcedureCallsCarryNameAndArguments) {
  struct Case {
    const char* text;
    const char* procedure;
    std::vector<std::string> args;
  } cases[] = {
      {"VeldaSQL..ESP_SP_Get_Entries_List_level '3', '5','', '', '', '','','2005','1'",
       "ESP_SP_Get_Entries_List_level", {"3", "5", "", "", "", "", "", "2005", "1"}},
      {"VeldaSQL.dbo.ESP_SP_Get_Entries_List 'o''neil', ''", "ESP_SP_Get_Entries_List", {"o'neil", ""}},
      {"EXEC ESP_SP_Get_Entries_List '3', 7, NULL, -2", "ESP_SP_Get_Entries_List", {"3", "7", "", "-2"}},
      {"execute [ESP_SP_x];", "ESP_SP_x", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Translation t = Translate(c.text, Dialect::TSql, CatalogueCatalog());
    EXPECT_EQ(t.kind, StatementKind::ProcedureCall);
    EXPECT_EQ(t.procedure, c.procedure);
    EXPECT_EQ(t.arguments, c.args);
  }
  EXPECT_THROW(Translate("VeldaSQL..ESP_SP_x 'a' + 'b'", Dialect::TSql, CatalogueCatalog()), SqlError);
}

// The source engines' names for columns the select list leaves unnamed or ambiguous. (The
// names members read back, by name into their grids: each member's own suite.)
TEST(MemberStatements, ResultColumnsCarryTheSourceEnginesNames) {
  auto names = [](const std::string& text, Dialect d) {
    std::vector<std::string> out;
    for (const ResultColumn& c : Translate(text, d, CatalogFor(d)).columns) out.push_back(c.name);
    return out;
  };
  // select * lists the table's columns under their own names.
  const auto entry = names("select * from entries where ID = 42", Dialect::TSql);
  ASSERT_EQ(entry.size(), CatalogueCatalog().FindTable("entries")->columns.size());
  EXPECT_EQ(entry[8], "Title");
  // Unnamed expressions: Jet's generated name, T-SQL's empty one.
  EXPECT_EQ(names("select count(id), 1 + 2 from resource", Dialect::Jet),
            (std::vector<std::string>{"Expr1000", "Expr1001"}));
  EXPECT_EQ(names("select Count(id) from navigation", Dialect::TSql), std::vector<std::string>{""});
  // Jet names same-named columns of two tables by table.
  EXPECT_EQ(names("select Resource.ID, ProjectMaster.ID from Resource, ProjectMaster", Dialect::Jet),
            (std::vector<std::string>{"Resource.ID", "ProjectMaster.ID"}));
}

}  // namespace
}  // namespace ksmain::sql::testing
