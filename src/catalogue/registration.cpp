// Entry and client registration: the page's form fields, cleaned by the catalogue's
// encoding, become one INSERT whose text goes back to the page in RC before it runs.
#include <string>

#include "catalogue/catalogue_support.h"
#include "data/datalink.h"
#include "frame/encode.h"
#include "frame/trap.h"
#include "ksmain/catalogue.h"
#include "sql/safety.h"

namespace ksmain {
Variant InsertTable_summary::EncodeUserText(Variant& value) {
  return ksmain::EncodeUserText(value, EncodeRules::Catalogue);
}

Variant InsertTable_summary::Insertentries(Variant& arrTable, const std::string& strconnect,
                                           Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    constexpr int kFields = 29;
    std::string v[kFields];
    for (int i = 0; i < kFields; ++i) {
      v[i] = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, i)));
    }
    const std::string now = catalogue::NowText();
    v[17] = catalogue::WithoutHttpPrefix(v[17]);
    v[18] = catalogue::WithoutHttpPrefix(v[18]);

    std::string sql =
        "INSERT INTO entries ( CategoryId, SubcategoryId1, subcategoryId2, "
        "subcategoryId3, subcategoryId4, subcategoryId5, subcategoryId6, "
        "Title, Summary, BodyText, Cost, shipping_cost, "
        "cont_part_number, mfg_part_number, ImageThumbnail, Image1, beg_year, end_year, "
        "Link1, Link2, MiscParm1, MiscParm2, MiscParm3, MiscParm4, MiscParm5, ExpireDate, "
        "ActiveInd, clientID, sale_price, DateTimeValue  ) VALUES ('";
    // The array keeps the form's order; the statement lists the columns in the table's.
    constexpr int kColumnOrder[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 25, 13,
                                    14, 15, 16, 17, 18, 19, 20, 21, 26, 27, 22, 23, 24, 28};
    for (int index : kColumnOrder) sql += v[index] + "', '";
    sql += now + "') ";
    RC = sql;
    catalogue::RunInsert(strconnect, sql, "Insertentries");
  });
  return Variant();
}

Variant InsertTable_summary::InsertClients(Variant& arrTable, const std::string& strconnect,
                                           Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    std::string v[27];
    for (int i = 1; i <= 21; ++i) {
      v[i] = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, i)));
    }
    // The logo file names are taken as the page sent them; only their apostrophes are
    // doubled so that they cannot end the quoted value.
    v[22] = sql::Quoted(catalogue::InputCell(arrTable, 22));
    v[23] = sql::Quoted(catalogue::InputCell(arrTable, 23));
    for (int i = 24; i <= 26; ++i) {
      v[i] = sql::Quoted(EncodeUserText(catalogue::InputCell(arrTable, i)));
    }
    const std::string now = catalogue::NowText();

    std::string sql =
        "INSERT INTO clients (surname , firstname, lastname, "
        "companyname, address1, address2, city, state, "
        "zipcode, province, country, phone, fax, "
        "email, weburl, username, password, passwordhint, passwordanswer, expiredate, "
        "activeind, DateTimeValue, image, image_large, miscparm1, miscparm2, miscparm3 ) "
        "VALUES ('";
    for (int i = 1; i <= 21; ++i) sql += v[i] + "', '";
    sql += now;
    for (int i = 22; i <= 26; ++i) sql += "','" + v[i];
    sql += "')";
    RC = sql;
    catalogue::RunInsert(strconnect, sql, "InsertClients");
  });
  return Variant();
}

}  // namespace ksmain
