// Resource maintenance: the page adds a person, changes a person's name, title and
// project count, or deletes a person, with one statement on the Resource table.
//
// RC reads "OK" only once the statement has run, so the page can tell a save that failed
// (an unknown action word, a missing key, a database that refused it) from one that did not.
#include <array>
#include <string>

#include "data/datalink.h"
#include "frame/encode.h"
#include "frame/trap.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "sql/safety.h"

namespace ksmain {

Variant Kestrel::Upd_ResourceAll(Variant& arrtest, Variant& strconnect, Variant& RC) {
  RunTrapped(Trap::Silent, [&] {
    // Every element from 1 to 9 goes through the encoding, used or not, so the page gets
    // all of them back in their stored form.
    std::array<std::string, 10> e;
    for (std::int32_t k = 1; k <= 9; ++k) {
      if (!arrtest.IsArray()) throw VbError(err::kTypeMismatch);
      Variant& cell = arrtest.MutableArray().at({k});
      e[k] = vb::ConcatText(EncodeUserText(cell, EncodeRules::Portfolio));
    }
    const std::string& id = e[1];
    const std::string& action = e[9];

    data::DataLink link(strconnect, sql::Dialect::Jet);
    std::string sql;
    if (action == "add") {
      sql = "insert into Resource ( FirstName, LastName, Title, noofprojects) values ('" +
            sql::Quoted(e[4]) + "' , '" + sql::Quoted(e[5]) + "' , '" + sql::Quoted(e[6]) +
            "','" + sql::Quoted(e[7]) + "')";
    } else if (action == "update") {
      sql = "update Resource set FirstName = '" + sql::Quoted(e[4]) + "', LastName = '" +
            sql::Quoted(e[5]) + "', Title = '" + sql::Quoted(e[6]) + "', NoOfProjects = '" +
            sql::Quoted(e[7]) + "' where id = " + sql::Bare(id);
    } else if (action == "delete") {
      sql = "delete from Resource  where id = " + sql::Bare(id);
    }
    link.Run(sql);
    RC = "OK";
  });
  return Variant();
}

}  // namespace ksmain
