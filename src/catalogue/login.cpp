// Client login: the password check with expiry and active flag, the answer to the
// reminder question, and the password hint, all answered through RC.
#include <string>

#include "catalogue/catalogue_support.h"
#include "data/datalink.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr const char* kInvalidLogin =
    " Either your UserName or password are invalid.   We were not able to validate your "
    "submission.";
constexpr const char* kExpired = "We found your submission, however your registration expired on ";
constexpr const char* kInactive =
    "We found your submission, however your registration is marked inactive and is not valid.";
constexpr const char* kAnswerMismatch =
    "Your password answer does not match the password answer you entered when you registered.";
constexpr const char* kAnswerNotFound =
    "Your UserName and Password Answer was not found in our database.";
constexpr const char* kHintNotFound =
    "Your UserName and Password Hint was not found in our database.";

enum class LoginMode { None, Password, Answer, Hint };

// The outcome of a password check on the client's record.
Variant PasswordOutcome(const RecordSource& client) {
  const Variant stored_expiry = client.Field("expiredate");
  // A registration with no readable expiry has none; a Null or unreadable one must not
  // keep the active flag from being checked.
  if (!vb::ConcatText(stored_expiry).empty() && vb::IsDate(stored_expiry)) {
    // A registration is still valid on its expiry day: only the dates are compared.
    if (vb::Today() > vb::DateValue(stored_expiry)) {
      return Variant(kExpired + vb::ConcatText(stored_expiry));
    }
  }
  // Only "Y" marks an active registration; a missing flag is not one.
  if (!vb::TextEquals(client.Field("activeind"), "Y")) return Variant(kInactive);
  return Variant("OK");
}

// The outcome of an answer check; a client without a stored answer matches none.
Variant AnswerOutcome(const RecordSource& client, const std::string& answer) {
  const Variant stored = client.Field("passwordanswer");
  if (stored.IsNull() || vb::UCase(vb::CStr(stored)) != vb::UCase(answer)) {
    return Variant(kAnswerMismatch);
  }
  return Variant("PASSWORDANSWEROK");
}

}  // namespace

Variant InsertTable_summary::ValidateClientLogin(Variant& arrTable, const std::string& strconnect,
                                                 Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    std::string field[7];
    for (int i = 1; i <= 6; ++i) {
      field[i] = vb::ConcatText(EncodeUserText(catalogue::InputCell(arrTable, i)));
    }
    const std::string& username = field[1];
    const std::string& password = field[2];
    const std::string& answer = field[4];

    LoginMode mode = LoginMode::None;
    const std::string columns =
        "select username, password, passwordhint, passwordanswer, expiredate, activeind";
    std::string sql;
    if (!username.empty() && !password.empty()) {
      mode = LoginMode::Password;
      sql = columns + " from clients where username = '" + sql::Quoted(username) + "'" +
            " and password = '" + sql::Quoted(password) + "'";
    } else if (!username.empty() && !answer.empty()) {
      mode = LoginMode::Answer;
      sql = columns + " from clients where username = '" + sql::Quoted(username) + "'";
    } else if (!username.empty()) {
      mode = LoginMode::Hint;
      sql = columns + " from clients where username = '" + sql::Quoted(username) + "'";
    }

    data::DataLink link(Variant(strconnect), sql::Dialect::TSql);
    data::Recordset& client = link.Query(sql);
    const bool found = !(client.AtBof() || client.AtEof());
    // RC receives the outcome once it is known, so a failure while reading the record
    // never leaves the page holding "OK".
    Variant outcome;
    switch (mode) {
      case LoginMode::Password:
        outcome = found ? PasswordOutcome(client) : Variant(kInvalidLogin);
        break;
      case LoginMode::Answer:
        outcome = found ? AnswerOutcome(client, answer) : Variant(kAnswerNotFound);
        break;
      case LoginMode::Hint:
        outcome = found ? client.Field("passwordhint") : Variant(kHintNotFound);
        break;
      case LoginMode::None:
        return;  // not reached: the empty statement was refused by the engine
    }
    RC = outcome;
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
