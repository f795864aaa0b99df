// Resource maintenance: adding, changing and deleting people, against fixture databases.
#include <gtest/gtest.h>

#include "ksmain/kestrel.h"
#include "portfolio/project_rows.h"

namespace ksmain {
namespace {

Variant ResourceForm(Variant id, Variant first, Variant last, Variant title, Variant action) {
  return Variant(VarArray::Of({"unread'", id, "a.b", "", first, last, title, "3", "x/y", action}));
}

class ResourceMaint : public testing::PortfolioPage {};

TEST_P(ResourceMaint, ActionsEncodingAndRC) {
  db.Exec("INSERT INTO Resource (ID, FirstName, LastName, Department) VALUES (4, 'Ann', 'Lee', 2)");
  struct Case {
    const char* name;
    Variant form;
    Variant connect;
    bool ok;
    const char* rows;  // ID:FirstName:LastName:Title:NoOfProjects in ID order
  };
  const Variant c = connect;
  const char* const kAdded = "4:Ann:Lee:Null:0|5:Sean:ONeil:Eng&#46; lead:3";
  const Case cases[] = {
      {"1 add with apostrophe", ResourceForm("", "Sean", "O'Neil", "Eng. lead", "add"), c, true, kAdded},
      {"2 action word in other case", ResourceForm(4, "X", "X", "X", "Add"), c, false, kAdded},
      {"3 delete in capitals", ResourceForm(4, "", "", "", "DELETE"), c, false, kAdded},
      {"4 update without key", ResourceForm("", "X", "X", "X", "update"), c, false, kAdded},
      {"5 key with a condition", ResourceForm("4 or 1=1", "", "", "", "delete"), c, false, kAdded},
      {"6 no database", ResourceForm(4, "", "", "", "delete"), Variant("Data Source=/no/such/p.db"), false, kAdded},
      {"7 update", ResourceForm(5, "Sean", "O Neil", "Dr. (PhD)", "update"), c, true,
       "4:Ann:Lee:Null:0|5:Sean:O Neil:Dr&#46; &#40;PhD&#41;:3"},
      {"8 delete", ResourceForm("4", "", "", "", "delete"), c, true, "5:Sean:O Neil:Dr&#46; &#40;PhD&#41;:3"},
  };
  for (const Case& cs : cases) {
    Variant form = cs.form, target = cs.connect, rc = "preset";
    EXPECT_TRUE(k.Upd_ResourceAll(form, target, rc).IsEmpty()) << cs.name;
    EXPECT_EQ(rc, Variant(cs.ok ? "OK" : "preset")) << cs.name;
    EXPECT_EQ(db.Read("SELECT ID, FirstName, LastName, Title, NoOfProjects FROM Resource ORDER BY ID"),
              cs.rows)
        << cs.name;
    // Elements 1 to 9 come back encoded, element 0 as it was, whatever the outcome.
    EXPECT_EQ(form.AsArray().at({0}), Variant("unread'")) << cs.name;
    EXPECT_EQ(form.AsArray().at({2}), Variant("a&#46;b")) << cs.name;
    EXPECT_EQ(form.AsArray().at({8}), Variant("x&#47;y")) << cs.name;
  }
}

KSMAIN_ON_BOTH_ENGINES(ResourceMaint);

}  // namespace
}  // namespace ksmain
