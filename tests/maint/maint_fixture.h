// Shared by the KsMaint tests: the page's input arrays, reading a stored value back through
// the library's own data layer (so kinds come back as a page would see them), and the page.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/datalink.h"
#include "ksmain/ksmaint.h"
#include "ksmain/variant.h"
#include "support/fixture.h"

namespace ksmain::testing {

inline Variant Form(std::vector<Variant> values) { return Variant(VarArray::Of(std::move(values))); }

// The project form of a saved project: element 30 holds its key.
inline Variant ProjectForm(Variant id) {
  return Form({"Line 4 (east)", "3", "P-17", "2", "1/5/2026", "", "6/30/2026", "", "4", "5",
               "1", "40", "7", "99", "1200.5", "", "2/1/2026", "1", "2", "3", "4", "5", "m1",
               "m2", "m3", "m4", "m5", "it's late", "Cost & time", "Less scrap.", id});
}

inline Variant Stored(const Variant& connect, const std::string& select) {
  data::DataLink link(connect, sql::Dialect::Jet);
  data::Recordset& rs = link.Query(select);
  return rs.AtEof() ? Variant("<no row>") : rs.Field(0);
}

inline Variant Cell(const Variant& form, int i) { return form.AsArray().at({i}); }

// A page saving into a fresh portfolio database on the engine the suite is instantiated
// for; SetUp skips the server cases when the run has no server.
class MaintPage : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
  TempDb db{TempDb::Kind::Portfolio, false, GetParam()};
  KsMaint m;
  Variant connect = db.connect();
};

}  // namespace ksmain::testing
