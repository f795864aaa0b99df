// The display side: a client's contact record, a client's logo file name, and a strip of
// random entry images from one place of the tree.
#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "data/datalink.h"
#include "frame/result_grid.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::array<FieldColumn, 15> kClientColumns{{
    {1, "surname"},
    {2, "firstname"},
    {3, "lastname"},
    {15, "companyname"},
    {4, "address1"},
    {5, "address2"},
    {6, "city"},
    {7, "State"},
    {8, "zipcode"},
    {9, "province"},
    {10, "country"},
    {11, "phone"},
    {12, "fax"},
    {13, "email"},
    {14, "weburl"},
}};

constexpr std::int16_t kSampleSize = 12;
constexpr std::int32_t kImageColumns = 15;
constexpr std::int32_t kImageFields = 14;

// The random-image query: entries with a picture, active and unexpired, in the chosen
// place down to the deepest key given (keys between given ones included, so an empty one
// there asks for an empty key). Empty when no key is given at all.
std::string RandomImagesSql(const std::array<std::string, 7>& key,
                            const std::string& year_condition) {
  int depth = 6;
  while (depth > 0 && key[depth].empty()) --depth;
  if (depth == 0 && key[0].empty()) return {};
  // The second-level form of the statement has always carried one blank more here.
  const char* available =
      depth == 2 ? "  getdate() <= expiredate and entries.activeInd = 'Y' and categoryID = '"
                 : " getdate() <= expiredate and entries.activeInd = 'Y' and categoryID = '";
  std::string sql =
      "select ID, TITLE, CONT_PART_NUMBER, LINK1, LINK2, MISCPARM1, MISCPARM2, MISCPARM3, "
      "CLIENTID, BEG_YEAR, END_YEAR, IMAGE1, SALE_PRICE, SUBCATEGORYid2 FROM entries"
      " WHERE len(image1) > 4 and ";
  sql += available + sql::Quoted(Variant(key[0])) + "'" + year_condition;
  for (int level = 1; level <= depth; ++level) {
    sql += " and subcategoryID" + std::to_string(level) + " = '" +
           sql::Quoted(Variant(key[level])) + "'";
  }
  return sql;
}

}  // namespace

Variant InsertTable_summary::GetClientInfo(Variant& arrtest, Variant& clientID,
                                           Variant& strconnect) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 1, 20);
  RunTrapped(Trap::None, [&] {
    const std::string sql = "select * from clients where ID = " + sql::Bare(clientID);
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& client = link.Query(sql);
    if (client.AtBof() || client.AtEof()) {
      grid.Set(0, 1, Variant("Not Found"));
      grid.Set(0, 0, Variant(std::int16_t{0}));
    } else {
      for (const FieldColumn& f : kClientColumns) grid.Set(1, f.column, client.Field(f.field));
      grid.Set(0, 0, Variant(std::int16_t{1}));
    }
    link.Close();
  });
  return Variant();
}

Variant InsertTable_summary::GetClientLOGO(Variant& clientID, Variant& strconnect) {
  Variant logo;
  RunTrapped(Trap::None, [&] {
    const std::string sql = "select image from clients where ID = " + sql::Bare(clientID);
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& client = link.Query(sql);
    logo = (client.AtBof() || client.AtEof()) ? Variant("noimage.jpg") : client.Field("image");
    link.Close();
  });
  return logo;
}

Variant InsertTable_summary::GetRandomImages(Variant& arrTable, const std::string& strconnect,
                                             const std::string& cat, const std::string& sub1,
                                             const std::string& sub2, const std::string& sub3,
                                             const std::string& sub4, const std::string& sub5,
                                             const std::string& sub6) {
  std::int16_t n = kSampleSize;
  ResultGrid grid = ResultGrid::Create(arrTable, Orientation::ColumnFirst, n, kImageColumns);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql =
        RandomImagesSql({cat, sub1, sub2, sub3, sub4, sub5, sub6}, year_condition_);
    // No place chosen: there is nothing to draw from, and the grid stays empty.
    if (sql.empty()) return;
    data::DataLink link(Variant(strconnect), sql::Dialect::TSql);
    data::Recordset& records = link.recordset();
    records.SetSource(sql);
    records.SetActiveConnection(link.connection());
    records.SetCursorType(0);
    records.SetLockType(1);
    records.Open(1);
    // No match leaves nothing to show: the grid stays empty, column 0 included.
    if (records.AtEof()) return;
    // The matches are counted on a second cursor over the same statement, opened while this
    // one stands on its first record, so both read one snapshot of the file; this one then
    // reads only the records picked, instead of holding every match to pick from.
    std::int32_t matches = 0;
    {
      std::unique_ptr<data::Recordset> counting = link.connection().Execute(sql);
      for (; !counting->AtEof(); counting->MoveNext()) ++matches;
    }

    // A random stride through the matches, below the step between evenly spaced picks;
    // the process-wide generator goes on from call to call.
    const double step = static_cast<double>(matches) / kSampleSize;
    const double stride = std::floor(static_cast<double>(vb::Rnd()) * step - 1 + 1);
    // Fewer matches give fewer picks: the step rounded, halves to even.
    const double rounded = std::nearbyint(step);
    if (rounded < n) n = static_cast<std::int16_t>(rounded);

    std::int32_t record = 0;
    std::int32_t current = 0;  // the record `records` stands on
    for (std::int16_t row = 0; row <= n; ++row) {
      // A pick past the last match fails as reading past the fetched rows does.
      if (record >= matches) throw VbError(err::kSubscript);
      for (; current < record; ++current) records.MoveNext();
      for (std::int32_t f = 0; f < kImageFields; ++f) grid.Set(row, f + 1, records.Field(f));
      record += static_cast<std::int32_t>(stride);
    }
    grid.Set(0, 0, Variant(n));
    grid.Set(1, 0, Variant(static_cast<std::int32_t>(stride)));
    link.Close();
  });
  return Variant();
}

}  // namespace ksmain
