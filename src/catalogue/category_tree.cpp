// The category tree: the children of the node a visitor has reached, each with the number
// of entries filed under it (children holding none are hidden), and node names by key.
#include <array>
#include <string>
#include <utility>

#include "data/datalink.h"
#include "frame/result_grid.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
namespace {

constexpr std::int32_t kChildRows = 100;
constexpr std::int32_t kChildColumns = 3;

// The statement listing the children at `level` (0 = the categories themselves). Keys go
// in bare, so each must be a number.
std::string ChildrenSql(int level, const std::array<std::string, 7>& key) {
  auto bare = [&](int i) { return sql::Bare(Variant(key[i])); };
  switch (level) {
    case 0:
      return "select   ID, category from category order by category";
    case 1:
      return "select   ID, subcategory1 from subcategory1 where linkid = " + bare(0) +
             " order by subcategory1";
    case 2:
      return "SELECT subcategory2.ID, subcategory2.subcategory2 "
             " FROM subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON "
             "subcategory1.LinkID = category.ID) ON subcategory2.LinkID = subcategory1.ID"
             " WHERE (((subcategory2.LinkID)= " +
             bare(1) + ") AND ((subcategory1.LinkID)=" + bare(0) +
             ")) Order by subcategory2.subcategory2;";
    case 3:
      return "SELECT subcategory3.ID, subcategory3.subcategory3 "
             " FROM subcategory3 INNER JOIN (subcategory2 INNER JOIN (subcategory1 INNER JOIN "
             "category ON [subcategory1].[LinkID]=[category].[ID]) ON "
             "[subcategory2].[LinkID]=[subcategory1].[ID]) ON "
             "[subcategory3].[LinkID]=[subcategory2].[ID]"
             " WHERE [subcategory2].[LinkID]= " +
             bare(1) + " And [subcategory1].[LinkID]= " + bare(0) +
             " And [subcategory3].[LinkID]= " + bare(2) + " Order by subcategory3.subcategory3 ";
    case 4:
      return "SELECT subcategory4.ID, subcategory4.subcategory4 "
             " FROM subcategory4 INNER JOIN (subcategory3 INNER JOIN (subcategory2 INNER JOIN "
             "(subcategory1 INNER JOIN category ON subcategory1.LinkID = category.ID) ON "
             "subcategory2.LinkID = subcategory1.ID) ON subcategory3.LinkID = subcategory2.ID) "
             "ON subcategory4.LinkID = subcategory3.ID"
             " Where subcategory4.LinkID = " +
             bare(3) + " And subcategory2.LinkID = " + bare(1) +
             "  And subcategory1.LinkID = " + bare(0) + "  And subcategory3.LinkID = " + bare(2) +
             " Order by subcategory4.subcategory4 ";
    default:
      return "SELECT subcategory5.ID, subcategory5.subcategory5 "
             " FROM subcategory5 INNER JOIN (subcategory4 INNER JOIN (subcategory3 INNER JOIN "
             "(subcategory2 INNER JOIN (subcategory1 INNER JOIN category ON subcategory1.LinkID "
             "= category.ID) ON subcategory2.LinkID = subcategory1.ID) ON subcategory3.LinkID = "
             "subcategory2.ID) ON subcategory4.LinkID = subcategory3.ID) ON subcategory5.LinkID "
             "= subcategory4.ID"
             " WHERE (((subcategory5.LinkID)= " +
             bare(4) + ") AND ((subcategory4.LinkID)= " + bare(3) +
             ") AND ((subcategory2.LinkID)= " + bare(1) +
             ") AND ((subcategory1.LinkID)= " + bare(0) +
             ") AND ((subcategory3.LinkID)= " + bare(2) + "))" +
             " Order by subcategory5.subcategory5 ;";
  }
}

}  // namespace

Variant InsertTable_summary::Get_Categories(Variant& arrtest, Variant& strconnect,
                                            Variant& intCount, const std::string& cat,
                                            const std::string& sub1, const std::string& sub2,
                                            const std::string& sub3, const std::string& sub4,
                                            const std::string& sub5, const std::string& sub6) {
  ResultGrid grid = ResultGrid::Create(arrtest, Orientation::RowFirst, kChildRows, kChildColumns);
  RunTrapped(Trap::Silent, [&] {
    std::array<std::string, 7> key{cat, sub1, sub2, sub3, sub4, sub5, sub6};
    // The deepest level whose whole path is chosen wins; "%" chooses every category.
    int level = 0;
    if (key[0] == "%") key[0].clear();
    while (level < 6 && !key[level].empty()) ++level;
    // Below the fifth subcategory there is nothing this page lists.
    if (level == 6) return;
    const std::string sql = ChildrenSql(level, key);

    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& children = link.Query(sql);
    std::int16_t row = 1;
    if (!(children.AtBof() || children.AtEof())) {
      while (!children.AtEof()) {
        // Count under the child: the path as chosen, the child in its own level's place
        // (the chosen path ends before that level, so the place is free for each child).
        Variant id = children.Field(0);
        key[level] = vb::CStr(id);
        Count_entries_Per_Categories(strconnect, intCount, key[0], key[1], key[2], key[3],
                                     key[4], key[5], key[6]);
        const std::optional<int> order = vb::Compare(intCount, Variant(std::int16_t{0}));
        if (order && *order > 0) {
          grid.Set(row, 0, std::move(id));
          grid.Set(row, 1, children.Field(1));
          grid.Set(row, 2, intCount);
          row = vb::AddInteger(row, 1);
        }
        children.MoveNext();
      }
    }
    grid.Set(0, 0, Variant(static_cast<std::int16_t>(row - 1)));
    link.Close();
  });
  return Variant();
}

Variant InsertTable_summary::GetCategoryName(Variant& CategoryName, Variant& categoryID,
                                             Variant& strconnect) {
  RunTrapped(Trap::None, [&] {
    static constexpr std::array<std::pair<const char*, const char*>, 8> kLevels{{
        {"cat", "select category from category where ID = "},
        {"sub1", "select subcategory1 from subcategory1 where ID = "},
        {"sub2", "select subcategory2 from subcategory2 where ID = "},
        {"sub3", "select subcategory3 from subcategory3 where ID = "},
        {"sub4", "select subcategory4 from subcategory4 where ID = "},
        {"sub5", "select subcategory5 from subcategory5 where ID = "},
        {"sub6", "select subcategory6 from subcategory6 where ID = "},
        // The model of a product is its second subcategory.
        {"model", "select subcategory2 from subcategory2 where ID = "},
    }};
    std::string sql;
    for (const auto& [keyword, select] : kLevels) {
      if (vb::TextEquals(CategoryName, keyword)) {
        sql = select + sql::Bare(categoryID);
        break;
      }
    }
    // An unknown keyword leaves the statement empty, which the engine refuses.
    data::DataLink link(strconnect, sql::Dialect::TSql);
    data::Recordset& names = link.Query(sql);
    const Variant name = (names.AtBof() || names.AtEof()) ? Variant("Not Found") : names.Field(0);
    link.Close();
    CategoryName = name;
  });
  return Variant();
}

}  // namespace ksmain
