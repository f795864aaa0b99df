// Client login: the three modes, their exact messages, expiry on and after its day, the
// active flag, and how the password and the answer are compared.
#include "catalogue/catalogue_fixture.h"

namespace ksmain::testing {
namespace {

class LoginTest : public CatalogueTest {
 protected:
  void AddClient(const std::string& user, const std::string& expiry, const std::string& active,
                 const std::string& answer = "'Rex'") {
    db_.Exec(
        "INSERT INTO clients (username, password, passwordhint, passwordanswer, expiredate, "
        "activeind) VALUES ('" +
        user + "', 'Secret', 'Your dog', " + answer + ", " + expiry + ", " + active + ")");
  }
  Variant Login(const std::string& user, const std::string& password, const std::string& answer) {
    Variant arr = Row({"zero", user, password, "", answer, "", ""});
    Variant rc("preset");
    cat_.ValidateClientLogin(arr, db_.connect().AsString(), rc);
    return rc;
  }
};

constexpr const char* kInvalid =
    " Either your UserName or password are invalid.   We were not able to validate your "
    "submission.";
constexpr const char* kInactive =
    "We found your submission, however your registration is marked inactive and is not valid.";
constexpr const char* kMismatch =
    "Your password answer does not match the password answer you entered when you registered.";

TEST_P(LoginTest, EachModeAnswersWithItsOwnText) {
  AddClient("ok", "NULL", "'Y'");
  AddClient("today", "'" + Day(0) + "'", "'Y'");
  AddClient("yesterday", "'" + Day(-1) + "'", "'Y'");
  AddClient("lower", "NULL", "'y'");
  AddClient("noflag", "NULL", "NULL");
  AddClient("noanswer", "NULL", "'Y'", "NULL");
  AddClient("blankexpiry", StoresAnyText(GetParam()) ? "''" : "NULL", "'Y'");
  const std::string expired_on = "We found your submission, however your registration expired on " +
                                 vb::CStr(Variant::FromDate(vb::Today() - 1));
  struct Case {
    const char* user;
    const char* password;
    const char* answer;
    Variant rc;
  } cases[] = {
      // Password check.
      {"ok", "Secret", "", Variant("OK")},
      {"OK", "Secret", "", Variant("OK")},      // the user name compares without regard to case
      {"ok", "secret", "", Variant(kInvalid)},  // the password compares exactly
      {"ok", "Wrong", "", Variant(kInvalid)},
      {"today", "Secret", "", Variant("OK")},
      {"yesterday", "Secret", "", Variant(expired_on)},
      {"lower", "Secret", "", Variant(kInactive)},
      {"noflag", "Secret", "", Variant(kInactive)},
      {"blankexpiry", "Secret", "", Variant("OK")},
      // Answer check.
      {"ok", "", "rEX", Variant("PASSWORDANSWEROK")},
      {"ok", "", "Max", Variant(kMismatch)},
      {"noanswer", "", "anything", Variant(kMismatch)},
      {"nobody", "", "Rex",
       Variant("Your UserName and Password Answer was not found in our database.")},
      // Hint.
      {"ok", "", "", Variant("Your dog")},
      {"nobody", "", "", Variant("Your UserName and Password Hint was not found in our database.")},
      // No user name: nothing is asked, the page's value stays.
      {"", "Secret", "Rex", Variant("preset")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password + "/" + c.answer);
    EXPECT_EQ(Login(c.user, c.password, c.answer), c.rc);
  }
}

TEST_P(LoginTest, ThePagesArrayHoldsTheEncodedTextsAndQuotesCannotWidenTheMatch) {
  AddClient("ok", "NULL", "'Y'");
  Variant arr = Row({"zero's", "o'k", "x' or 'a'='a", "a&b", "", "|", Variant::Null()});
  Variant rc;
  cat_.ValidateClientLogin(arr, db_.connect().AsString(), rc);
  EXPECT_EQ(rc, Variant(kInvalid));
  EXPECT_EQ(arr, Row({"zero's", "ok", "x or a=a", "a and b", "", "", Variant::Null()}));
}

KSMAIN_ON_BOTH_ENGINES(LoginTest);

}  // namespace
}  // namespace ksmain::testing
