// Entry search: the active, unexpired entries of a place in the tree whose title holds the
// search words (any word, all words, or the whole phrase), either as entries or as the
// distinct places that hold them. Both write into the array the page sized; failures are
// reported to the application log as "searcher" and the description.
#include <array>
#include <string>
#include <vector>

#include "catalogue/catalogue_support.h"
#include "data/datalink.h"
#include "frame/result_grid.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int16_t kMostMatches = 250;
constexpr std::string_view kLogPrefix = "searcher";

// "or" for any word (1), "and" for all words (2), nothing otherwise; a mode that is not a
// number fails the search before any database work.
std::string Connector(const std::string& specs) {
  const double mode = vb::CDbl(Variant(specs));
  if (mode == 1) return "or";
  if (mode == 2) return "and";
  return "";
}

// The words between the spaces of the criteria: n spaces give n + 1 words, empty ones
// included. Every title condition is grouped in one pair of brackets so that the connector
// combines only the words, never the place and availability conditions.
std::string WordConditions(const std::string& criteria, const std::string& connector) {
  std::vector<std::string> words{""};
  for (char c : criteria) {
    if (c == ' ') {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  std::string sql = " and (title Like '%" + sql::Quoted(Variant(words[0])) + "%'";
  for (std::size_t i = 1; i < words.size(); ++i) {
    sql += " " + connector + " " + "title like " + "'%" + sql::Quoted(Variant(words[i])) + "%'";
  }
  return sql + ")";
}

// The availability and year conditions of a word search.
std::string AvailableInYear(const std::string& year) {
  if (year.empty()) return " and entries.activeInd = 'Y' And getdate() <= expiredate ";
  return " And getdate() <= expiredate and entries.activeInd = 'Y' and '" +
         sql::Quoted(Variant(year)) + "' between beg_year and end_year ";
}

// An empty level searches every key of that level.
std::string AnyWhenEmpty(const std::string& key) { return key.empty() ? "%" : key; }

std::string PlaceLike(const std::vector<std::string>& keys) {
  std::string sql = " categoryID like '" + sql::Quoted(Variant(AnyWhenEmpty(keys[0]))) + "'";
  for (std::size_t i = 1; i < keys.size(); ++i) {
    sql += " and subcategoryID" + std::to_string(i) + " like '" +
           sql::Quoted(Variant(AnyWhenEmpty(keys[i]))) + "'";
  }
  return sql;
}

constexpr std::array<FieldColumn, 12> kPlaceColumns{{
    {0, "categoryID"},
    {1, "subcategoryID1"},
    {2, "subcategoryID2"},
    {3, "subcategoryID3"},
    {4, "subcategoryID4"},
    {5, "subcategoryID5"},
    {6, "catname"},
    {7, "subname1"},
    {8, "subname2"},
    {9, "subname3"},
    {10, "subname4"},
    {11, "subname5"},
}};

// Copies up to 250 matches from row 1 and writes the number copied into (0, 0), -1 when
// nothing matched.
template <class CopyRow>
void FillMatches(ResultGrid& grid, data::Recordset& records, CopyRow copy_row) {
  std::int16_t counter = 1;
  if (records.AtBof() || records.AtEof()) {
    counter = 0;
  } else {
    while (!records.AtEof() && counter <= kMostMatches) {
      copy_row(counter);
      counter = vb::AddInteger(counter, 1);
      records.MoveNext();
    }
  }
  grid.Set(0, 0, Variant(static_cast<std::int16_t>(counter - 1)));
}

}  // namespace

Variant InsertTable_summary::Get_SimpleSearch(Variant& arrtest, Variant& strconnect, Variant&,
                                              const std::string& cat, const std::string& sub1,
                                              const std::string& sub2, const std::string& sub3,
                                              const std::string& sub4, const std::string& sub5,
                                              const std::string& criteria, const std::string& year,
                                              const std::string& specs, const std::string& sortby) {
  RunTrapped(
      Trap::Log,
      [&] {
        const std::string connector = Connector(specs);
        const std::string order =
            sortby.empty() ? " order by title" : " order by " + sql::OrderList(Variant(sortby));
        std::string sql =
            "SELECT * from entries where " + PlaceLike({cat, sub1, sub2, sub3, sub4, sub5});
        if (specs == "3") {
          const std::string phrase = " and title like '%" + sql::Quoted(Variant(criteria)) + "%'";
          if (year.empty()) {
            sql += " and getdate() <= expiredate and entries.activeInd = 'Y'" + phrase;
          } else {
            sql += AvailableInYear(year) + phrase;
          }
        } else {
          sql += AvailableInYear(year) + WordConditions(criteria, connector);
        }
        sql += order;

        ResultGrid grid = ResultGrid::Adopt(arrtest, Orientation::RowFirst);
        data::DataLink link(strconnect, sql::Dialect::TSql);
        data::Recordset& records = link.Query(sql);
        catalogue::ListedEntryCopier entry;
        FillMatches(grid, records,
                    [&](std::int16_t row) { entry.CopyRow(grid, row, records, *this); });
        link.Close();
      },
      kLogPrefix);
  return Variant();
}

Variant InsertTable_summary::Get_SimpleSearchCategories(
    Variant& arrtest, Variant& strconnect, Variant&, const std::string& cat,
    const std::string& sub1, const std::string& sub2, const std::string& sub3,
    const std::string& criteria, const std::string& year, const std::string& specs,
    const std::string&) {
  RunTrapped(
      Trap::Log,
      [&] {
        const std::string connector = Connector(specs);
        std::string sql =
            "SELECT DISTINCT isnull([entries].[categoryId],'') as categoryID, "
            "isnull([entries].[subcategoryId1],'') as subcategoryID1, "
            "isnull([entries].[subcategoryId2],'') as subcategoryID2, "
            "isnull([entries].[subcategoryId3],'') as subcategoryID3, "
            "isnull([entries].[subcategoryId4],'') as subcategoryID4, "
            "isnull([entries].[subcategoryId5],'') as subcategoryID5, [entries].[subcategoryId6], "
            "(select distinct category from category where id like entries.categoryid) AS "
            "catname, (select distinct subcategory1 from subcategory1 where id like "
            "entries.subcategoryid1) AS subname1, (select distinct subcategory2 from subcategory2 "
            "where id like entries.subcategoryid2) AS subname2, (select distinct subcategory3 "
            "from subcategory3 where id like entries.subcategoryid3) AS subname3, (select "
            "distinct subcategory4 from subcategory4 where id like entries.subcategoryid4) AS "
            "subname4, (select subcategory5  from subcategory5 where id like "
            "entries.subcategoryid5) AS subname5 from entries where ";
        sql += PlaceLike({cat, sub1, sub2, sub3});
        sql += AvailableInYear(year) + WordConditions(criteria, connector);
        sql += " Order by catname, subname1, subname2, subname3, subname4, subname5 ";

        ResultGrid grid = ResultGrid::Adopt(arrtest, Orientation::RowFirst);
        data::DataLink link(strconnect, sql::Dialect::TSql);
        data::Recordset& records = link.Query(sql);
        MappedFields place(kPlaceColumns);
        FillMatches(grid, records, [&](std::int16_t row) { place.CopyRow(grid, row, records); });
        link.Close();
      },
      kLogPrefix);
  return Variant();
}

}  // namespace ksmain
