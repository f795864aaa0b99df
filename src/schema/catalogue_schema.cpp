// The catalogue database: tables, indexes and the stored procedures of the entry listings.
//
// Procedures live in the table ks_procedures: a name, its parameter names and one engine
// statement that uses them as :name parameters. The driver runs "VeldaSQL..name 'a', ..."
// calls from it, binding each argument as the text the caller passed; an empty key means
// "no filter on this level", as the listing pages pass an empty text for a level not chosen.
#include <string>
#include <string_view>

#include "data/engine_admin.h"
#include "schema/database_file.h"
#include "schema/schema.h"

namespace ksmain::schema {
namespace {

constexpr std::string_view kCatalogueDdl = R"sql(
CREATE TABLE category (
  ID       INTEGER PRIMARY KEY,
  category VARCHAR(100) COLLATE NOCASE
);
CREATE TABLE subcategory1 (ID INTEGER PRIMARY KEY, subcategory1 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE TABLE subcategory2 (ID INTEGER PRIMARY KEY, subcategory2 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE TABLE subcategory3 (ID INTEGER PRIMARY KEY, subcategory3 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE TABLE subcategory4 (ID INTEGER PRIMARY KEY, subcategory4 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE TABLE subcategory5 (ID INTEGER PRIMARY KEY, subcategory5 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE TABLE subcategory6 (ID INTEGER PRIMARY KEY, subcategory6 VARCHAR(100) COLLATE NOCASE, LinkID INTEGER);
CREATE INDEX subcategory1_Link ON subcategory1 (LinkID);
CREATE INDEX subcategory2_Link ON subcategory2 (LinkID);
CREATE INDEX subcategory3_Link ON subcategory3 (LinkID);
CREATE INDEX subcategory4_Link ON subcategory4 (LinkID);
CREATE INDEX subcategory5_Link ON subcategory5 (LinkID);
CREATE INDEX subcategory6_Link ON subcategory6 (LinkID);

CREATE TABLE clients (
  ID             INTEGER PRIMARY KEY,
  surname        VARCHAR(50)  COLLATE NOCASE,
  firstname      VARCHAR(50)  COLLATE NOCASE,
  lastname       VARCHAR(50)  COLLATE NOCASE,
  companyname    VARCHAR(100) COLLATE NOCASE,
  address1       VARCHAR(100) COLLATE NOCASE,
  address2       VARCHAR(100) COLLATE NOCASE,
  city           VARCHAR(50)  COLLATE NOCASE,
  state          VARCHAR(50)  COLLATE NOCASE,
  zipcode        VARCHAR(20)  COLLATE NOCASE,
  province       VARCHAR(50)  COLLATE NOCASE,
  country        VARCHAR(50)  COLLATE NOCASE,
  phone          VARCHAR(30)  COLLATE NOCASE,
  fax            VARCHAR(30)  COLLATE NOCASE,
  email          VARCHAR(100) COLLATE NOCASE,
  weburl         VARCHAR(255) COLLATE NOCASE,
  username       VARCHAR(50)  COLLATE NOCASE,
  password       VARCHAR(50)  COLLATE BINARY,
  passwordhint   VARCHAR(255) COLLATE NOCASE,
  passwordanswer VARCHAR(255) COLLATE NOCASE,
  expiredate     DATETIME,
  activeind      VARCHAR(1)   COLLATE NOCASE,
  DateTimeValue  DATETIME,
  image          VARCHAR(255) COLLATE NOCASE,
  image_large    VARCHAR(255) COLLATE NOCASE,
  miscparm1      VARCHAR(255) COLLATE NOCASE,
  miscparm2      VARCHAR(255) COLLATE NOCASE,
  miscparm3      VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX clients_username ON clients (username);

CREATE TABLE entries (
  ID                  INTEGER PRIMARY KEY,
  CategoryId          INTEGER,
  SubcategoryId1      INTEGER,
  SubcategoryId2      INTEGER,
  SubcategoryId3      INTEGER,
  SubcategoryId4      INTEGER,
  SubcategoryId5      INTEGER,
  SubcategoryId6      INTEGER,
  Title               VARCHAR(255) COLLATE NOCASE,
  Summary             TEXT COLLATE NOCASE,
  BodyText            TEXT COLLATE NOCASE,
  Cost                MONEY,
  shipping_cost       MONEY,
  sale_price          MONEY,
  cont_part_number    VARCHAR(50)  COLLATE NOCASE,
  mfg_part_number     VARCHAR(50)  COLLATE NOCASE,
  ImageThumbnail      VARCHAR(255) COLLATE NOCASE,
  Image1              VARCHAR(255) COLLATE NOCASE,
  beg_year            SMALLINT,
  end_year            SMALLINT,
  Link1               VARCHAR(255) COLLATE NOCASE,
  Link2               VARCHAR(255) COLLATE NOCASE,
  MiscParm1           VARCHAR(255) COLLATE NOCASE,
  MiscParm2           VARCHAR(255) COLLATE NOCASE,
  MiscParm3           VARCHAR(255) COLLATE NOCASE,
  MiscParm4           VARCHAR(255) COLLATE NOCASE,
  MiscParm5           VARCHAR(255) COLLATE NOCASE,
  ExpireDate          DATETIME,
  ActiveInd           VARCHAR(1)   COLLATE NOCASE,
  clientID            INTEGER,
  DateTimeValue       DATETIME,
  Level1PromotionFlag VARCHAR(1)   COLLATE NOCASE DEFAULT 'N'
);
CREATE INDEX entries_Place ON entries (CategoryId, SubcategoryId1, SubcategoryId2);
CREATE INDEX entries_Client ON entries (clientID);
CREATE INDEX entries_Title ON entries (Title);

CREATE TABLE navigation (
  id            INTEGER PRIMARY KEY,
  address       VARCHAR(255) COLLATE NOCASE,
  pagename      VARCHAR(255) COLLATE NOCASE,
  articleID     INTEGER,
  DateTimeValue DATETIME
);
CREATE INDEX navigation_Article ON navigation (articleID, DateTimeValue);

CREATE TABLE effectiveness (
  articleID     INTEGER,
  Score         INTEGER,
  DateTimeValue DATETIME
);
CREATE INDEX effectiveness_Article ON effectiveness (articleID);

CREATE TABLE campaigns (
  ID          INTEGER PRIMARY KEY,
  clientID    INTEGER,
  Camplevel   SMALLINT,
  begindate   DATETIME,
  enddate     DATETIME,
  activeind   VARCHAR(1)   COLLATE NOCASE,
  description VARCHAR(255) COLLATE NOCASE
);
CREATE INDEX campaigns_Client ON campaigns (clientID);

CREATE TABLE entrycounts (
  ID             INTEGER PRIMARY KEY,
  entrycnt       INTEGER,
  categoryid     INTEGER,
  subcategoryid1 INTEGER,
  subcategoryid2 INTEGER,
  subcategoryid3 INTEGER,
  subcategoryid4 INTEGER,
  subcategoryid5 INTEGER,
  subcategoryid6 INTEGER
);
CREATE INDEX entrycounts_Place ON entrycounts (categoryid, subcategoryid1, subcategoryid2);

CREATE TABLE ks_procedures (
  name   VARCHAR(128) PRIMARY KEY COLLATE NOCASE,
  params TEXT,
  body   TEXT
);
)sql";

// The listing's selection, shared by both procedures: the chosen place in the tree (an
// empty key leaves its level open), the year within the entry's range, active and not yet
// expired (ExpireDate is the last day shown), by title.
constexpr std::string_view kListSelect = R"sql(
SELECT e.ID, e.Title, e.Summary, e.BodyText, e.Cost, e.sale_price, e.shipping_cost,
       e.mfg_part_number, e.cont_part_number, e.ImageThumbnail, e.Image1, e.beg_year,
       e.end_year, e.Link1, e.Link2, e.MiscParm1, e.MiscParm2, e.MiscParm3, e.MiscParm4,
       e.MiscParm5, e.clientID, e.DateTimeValue
FROM entries AS e
WHERE (:cat = '' OR e.CategoryId = :cat)
  AND (:sub1 = '' OR e.SubcategoryId1 = :sub1)
  AND (:sub2 = '' OR e.SubcategoryId2 = :sub2)
  AND (:sub3 = '' OR e.SubcategoryId3 = :sub3)
  AND (:sub4 = '' OR e.SubcategoryId4 = :sub4)
  AND (:sub5 = '' OR e.SubcategoryId5 = :sub5)
  AND (:sub6 = '' OR e.SubcategoryId6 = :sub6)
  AND (trim(:year) = '' OR CAST(trim(:year) AS INTEGER) BETWEEN e.beg_year AND e.end_year)
  AND e.ActiveInd = 'Y'
  AND e.ExpireDate >= date('now', 'localtime'))sql";

std::string ProcedureRows() {
  std::string list = std::string(kListSelect) + "\nORDER BY e.Title, e.ID";
  // The level-1 listing shows only promoted entries; other levels list every entry.
  std::string level = std::string(kListSelect) +
                      "\n  AND (:level <> '1' OR e.Level1PromotionFlag = 'Y')\nORDER BY e.Title, e.ID";
  auto quote = [](const std::string& s) {
    std::string out = "'";
    for (char c : s) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out + "'";
  };
  return "INSERT INTO ks_procedures (name, params, body) VALUES ('ESP_SP_Get_Entries_List', "
         "'cat,sub1,sub2,sub3,sub4,sub5,sub6,year', " +
         quote(list) +
         ");\n"
         "INSERT INTO ks_procedures (name, params, body) VALUES ('ESP_SP_Get_Entries_List_level', "
         "'cat,sub1,sub2,sub3,sub4,sub5,sub6,year,level', " +
         quote(level) + ");\n";
}

const std::string& FullCatalogueDdl() {
  static const std::string ddl = std::string(kCatalogueDdl) + ProcedureRows();
  return ddl;
}

}  // namespace

std::string_view CatalogueDdl() { return FullCatalogueDdl(); }

void FillCatalogueDemo(data::EngineDatabase& db);  // catalogue_demo.cpp

void CreateCatalogueDatabase(const std::string& path, bool demo) {
  CreateDatabaseFile(
      path, FullCatalogueDdl(),
      [demo](data::EngineDatabase& db) {
        if (demo) FillCatalogueDemo(db);
      },
      true);
}

}  // namespace ksmain::schema
