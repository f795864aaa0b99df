// Page views and scores of entries: one row per view or score, and the view counts that
// the entry detail shows.
#include <string>

#include "catalogue/catalogue_support.h"
#include "data/datalink.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

// The view count of one statement: field 0, or "0" when no record came back.
void CountViews(Variant& count, const std::string& sql, const Variant& strconnect) {
  data::DataLink link(strconnect, sql::Dialect::TSql);
  data::Recordset& records = link.Query(sql);
  count = (records.AtBof() || records.AtEof()) ? Variant("0") : records.Field(0);
  link.Close();
}

}  // namespace

Variant InsertTable_summary::InsertNavigation(Variant& arrTable, const std::string& strconnect,
                                              Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    std::string address = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, 0)));
    const std::string pagename = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, 1)));
    const std::string article = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, 2)));
    const std::string now = catalogue::NowText();
    address = catalogue::WithoutHttpPrefix(address);
    const std::string sql =
        "INSERT INTO navigation ( address, pagename, articleID, DateTimeValue ) VALUES ('" +
        address + "', '" + pagename + "', '" + article + "', '" + now + "') ";
    RC = sql;
    catalogue::RunInsert(strconnect, sql, "InsertNavigation");
  });
  return Variant();
}

Variant InsertTable_summary::InsertEffectiveness(Variant& arrTable, const std::string& strconnect,
                                                 Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    const std::string article = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, 0)));
    const std::string score = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, 1)));
    const std::string now = catalogue::NowText();
    const std::string sql =
        "INSERT INTO effectiveness ( articleID, Score, DateTimeValue ) VALUES ('" + article +
        "', '" + score + "', '" + now + "') ";
    RC = sql;
    catalogue::RunInsert(strconnect, sql, "InsertEffectiveness");
  });
  return Variant();
}

Variant InsertTable_summary::CountNavigationAll(Variant& count, Variant& articleID,
                                                Variant& strconnect) {
  RunTrapped(Trap::None, [&] {
    CountViews(
        count,
        "select Count(id) from navigation where articleID = '" + sql::Quoted(articleID) + "'",
        strconnect);
  });
  return Variant();
}

Variant InsertTable_summary::CountNavigationToday(Variant& count, Variant& articleID,
                                                  Variant& strconnect) {
  RunTrapped(Trap::None, [&] {
    const std::string today = vb::CStr(Variant::FromDate(vb::Today()));
    CountViews(count,
               "select Count(id) from navigation where articleID = '" + sql::Quoted(articleID) +
                   "' AND datevalue(DateTimeValue) = '" + today + "'",
               strconnect);
  });
  return Variant();
}

}  // namespace ksmain
