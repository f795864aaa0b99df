// Entry listings of a place in the category tree (through the catalogue database's own
// procedures, on the listings' fixed connection), the sponsor flag of a client, the full
// record of one entry with its view counts, and the number of entries under a place.
#include <array>
#include <memory>
#include <string>

#include "catalogue/catalogue_support.h"
#include "data/datalink.h"
#include "frame/result_grid.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kListColumns = 30;

// The procedure's arguments after its name: the place in the tree, then the year, every
// one as quoted text (an empty key leaves its level open).
std::string PlaceArguments(const std::string& cat, const std::string& sub1, const std::string& sub2,
                           const std::string& sub3, const std::string& sub4,
                           const std::string& sub5, const std::string& sub6,
                           const std::string& year) {
  auto q = [](const std::string& s) { return sql::Quoted(Variant(s)); };
  return " '" + q(cat) + "', " + "'" + q(sub1) + "'," + "'" + q(sub2) + "', '" + q(sub3) + "', '" +
         q(sub4) + "', '" + q(sub5) + "','" + q(sub6) + "','" + q(year) + "'";
}

// Fills listing rows from 1 while the recordset has records and `more(counter)` holds;
// returns the final counter, which the listings keep in their header cell (0 for none).
template <class More>
std::int16_t FillListing(ResultGrid& grid, data::Recordset& records, InsertTable_summary& self,
                         More more) {
  if (records.AtBof() || records.AtEof()) return 0;
  std::int16_t counter = 1;
  while (!records.AtEof() && more(counter)) {
    catalogue::CopyListedEntry(grid, counter, records, self);
    counter = vb::AddInteger(counter, 1);
    records.MoveNext();
  }
  return counter;
}

// The entry detail's cells in the order they are filled; the view counts go between the
// first group and the second.
constexpr std::array<FieldColumn, 13> kDetailHead{{
    {0, "ID"},
    {1, "title"},
    {2, "summary"},
    {3, "shipping_cost"},
    {4, "cont_part_number"},
    {5, "ImageThumbnail"},
    {6, "link1"},
    {7, "link2"},
    {8, "miscparm1"},
    {9, "miscparm2"},
    {10, "miscparm3"},
    {11, "clientID"},
    {12, "datetimevalue"},
}};
constexpr std::array<FieldColumn, 6> kDetailTail{{
    {15, "bodytext"},
    {16, "cost"},
    {17, "Image1"},
    {18, "beg_year"},
    {19, "end_year"},
    {20, "sale_Price"},
}};

}  // namespace

Variant InsertTable_summary::Get_entriesList_LEVEL(Variant& arrtest, Variant& strconnect, Variant&,
                                                   const std::string& cat, const std::string& sub1,
                                                   const std::string& sub2, const std::string& sub3,
                                                   const std::string& sub4, const std::string& sub5,
                                                   const std::string& sub6,
                                                   const std::string& levelind,
                                                   const std::string& inputyear) {
  strconnect = catalogue::FixedConnectionString();
  const std::int16_t limit = levelind == "2" ? 250 : levelind == "1" ? 25 : 0;
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, limit + 1, kListColumns);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql = "VeldaSQL..ESP_SP_Get_Entries_List_level" +
                            PlaceArguments(cat, sub1, sub2, sub3, sub4, sub5, sub6, inputyear) +
                            ",'" + sql::Quoted(Variant(levelind)) + "'";
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& records = link.Query(sql);
    // At most limit - 1 rows: the header keeps the counter that stopped the loop.
    const std::int16_t counter =
        FillListing(grid, records, *this, [&](std::int16_t c) { return c < limit; });
    grid.Set(0, 0, Variant(counter));
    link.Close();
  });
  return Variant();
}

Variant InsertTable_summary::Get_entriesList(Variant& arrtest, Variant& strconnect, Variant&,
                                             const std::string& cat, const std::string& sub1,
                                             const std::string& sub2, const std::string& sub3,
                                             const std::string& sub4, const std::string& sub5,
                                             const std::string& sub6, const std::string&,
                                             const std::string& inputyear) {
  constexpr std::int16_t kMostRows = 250;
  strconnect = catalogue::FixedConnectionString();
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kMostRows + 1, kListColumns);
  RunTrapped(Trap::Silent, [&] {
    // The random images of this object keep to the year listed last.
    if (!inputyear.empty()) {
      year_condition_ = " And '" + sql::Quoted(Variant(inputyear)) +
                        "' BETWEEN entries.beg_year and entries.end_year ";
    }
    const std::string sql = "VeldaSQL..ESP_SP_Get_Entries_List" +
                            PlaceArguments(cat, sub1, sub2, sub3, sub4, sub5, sub6, inputyear);
    data::DataLink link(strconnect, sql::Dialect::TSql);
    Variant affected;
    std::unique_ptr<data::Recordset> records = link.connection().Execute(sql, &affected, -1);
    const std::int16_t counter =
        FillListing(grid, *records, *this, [&](std::int16_t c) { return c <= kMostRows; });
    grid.Set(0, 0, Variant(counter));
    if (records->IsOpen()) records->Close();
    link.Close();
  });
  return Variant();
}

Variant InsertTable_summary::GetSponsorLevel(const std::string& clientID) {
  Variant level;
  RunTrapped(Trap::None, [&] {
    const std::string sql =
        "select * FROM campaigns where Camplevel = '3' and getdate() between begindate and "
        "enddate and activeind = 'Y' and  clientID = " +
        sql::Bare(Variant(clientID));
    data::DataLink link(Variant(catalogue::FixedConnectionString()), sql::Dialect::TSql);
    data::Recordset& campaigns = link.Query(sql);
    level = campaigns.AtEof() ? Variant("N") : Variant("Y");
    link.Close();
  });
  return level;
}

Variant InsertTable_summary::Get_entriespecific(Variant& arrtest, Variant& strconnect, Variant&,
                                                const std::string& artID) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, 2, kListColumns);
  RunTrapped(Trap::Silent, [&] {
    const std::string sql = "select * from entries where ID = " + sql::Bare(Variant(artID));
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& records = link.Query(sql);
    std::int16_t counter = 0;
    if (!(records.AtBof() || records.AtEof())) {
      counter = 1;
      while (!records.AtEof()) {
        for (const FieldColumn& f : kDetailHead)
          grid.Set(counter, f.column, records.Field(f.field));
        Variant id = records.Field("ID");
        CountNavigationToday(grid.Cell(counter, 13), id, strconnect);
        CountNavigationAll(grid.Cell(counter, 14), id, strconnect);
        for (const FieldColumn& f : kDetailTail)
          grid.Set(counter, f.column, records.Field(f.field));
        counter = vb::AddInteger(counter, 1);
        records.MoveNext();
      }
    }
    grid.Set(0, 0, Variant(counter));
    link.Close();
  });
  return Variant();
}

Variant InsertTable_summary::Count_entries_Per_Categories(
    Variant& strconnect, Variant& intCount, const std::string& cat, const std::string& sub1,
    const std::string& sub2, const std::string& sub3, const std::string& sub4,
    const std::string& sub5, const std::string& sub6) {
  RunTrapped(Trap::Silent, [&] {
    std::string sql;
    if (!cat.empty()) {
      sql = "select sum(entryCNT) as NumEntries from entrycounts where categoryid = '" +
            sql::Quoted(Variant(cat)) + "'";
      const std::array<const std::string*, 6> subs{&sub1, &sub2, &sub3, &sub4, &sub5, &sub6};
      for (std::size_t i = 0; i < subs.size(); ++i) {
        if (subs[i]->empty()) continue;
        sql += "  and subcategoryid" + std::to_string(i + 1) + " = '" +
               sql::Quoted(Variant(*subs[i])) + "'";
      }
    } else {
      sql = "select sum(entrycnt) as NumEntries from entrycounts";
    }
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& records = link.Query(sql);
    const Variant count = (records.AtBof() || records.AtEof()) ? Variant(std::int16_t{0})
                                                               : records.Field("NumEntries");
    link.Close();
    intCount = count;
  });
  return Variant();
}

}  // namespace ksmain
