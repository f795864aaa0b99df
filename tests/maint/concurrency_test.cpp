// Two pages saving at once through separate KsMaint instances (each its own session), on
// the embedded file and on one PostgreSQL database.
#include <gtest/gtest.h>

#include <thread>

#include "ksmain/ksmaint.h"
#include "maint/maint_fixture.h"
#include "support/fixture.h"

namespace ksmain {
namespace {

using testing::Form;
using testing::ProjectForm;

class KsMaintConcurrency : public testing::MaintPage {};

TEST_P(KsMaintConcurrency, TwoPagesSavingAtOnceLoseNothing) {
  db.Exec("INSERT INTO ProjectMaster (ID, EstDateCompleted) VALUES (1, '2026-06-30'), (2, '2026-06-30');");
  constexpr int kSaves = 15;
  auto page = [&](int project) {
    KsMaint own;  // each page its own instance and session
    Variant target = connect;
    for (int i = 1; i <= kSaves; ++i) {
      Variant form = ProjectForm(Variant(project)), rc = "preset";
      form.MutableArray().at({6}) = "1/" + std::to_string(i) + "/2027";
      own.UPD_ProjectMasterALL(form, target, rc);
      Variant step = Form({"INS", "", "Step", project, 4, "1", "", "", "", "", "", "", "", 1, "", "", "", "0"});
      Variant rc2 = "preset";
      own.INS_UPD_ProjectSteps(step, target, rc2);
      EXPECT_EQ(rc, Variant("OK"));
      EXPECT_EQ(rc2, Variant("OK"));
    }
  };
  std::thread a(page, 1), b(page, 2);
  a.join();
  b.join();
  for (const char* project : {"1", "2"}) {
    const std::string where = std::string(" WHERE ProjectID = ") + project;
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM projectRevisedDates" + where), std::to_string(kSaves));
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM ProjectSteps" + where), std::to_string(kSaves));
    // Each page's last save stands.
    EXPECT_EQ(db.Read(std::string("SELECT EstDateCompleted FROM ProjectMaster WHERE ID = ") + project),
              "1/" + std::to_string(kSaves) + "/2027");
  }
}

KSMAIN_ON_BOTH_ENGINES(KsMaintConcurrency);

}  // namespace
}  // namespace ksmain
