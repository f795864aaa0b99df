// A catalogue database for member tests on the engine the suite is instantiated for, reached
// both through the page's connection string and through the listings' fixed one, with short
// ways to file entries and to capture the application log. On the server the fixed string's
// database is one name for every process: those cases hold the CTest lock `veldaSQL`.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/datalink.h"
#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"
#include "support/fixture.h"

namespace ksmain::testing {

// A one-dimensional input array as a page fills it.
inline Variant Row(std::vector<Variant> cells) { return Variant(VarArray::Of(std::move(cells))); }

class CatalogueTest : public ::testing::TestWithParam<Engine> {
 protected:
  CatalogueTest() : db_(TempDb::Kind::Catalogue, false, GetParam()) {
    data::SetDataSource(data::CatalogueHost(), db_.source());
    SetApplicationLogSink([this](std::string_view m) { log_.emplace_back(m); });
  }
  // Suites with rows of their own call this first and return when the case is skipped.
  void SetUp() override { KSMAIN_SKIP_WITHOUT_SERVER(GetParam()); }
  ~CatalogueTest() override {
    SetApplicationLogSink({});
    data::ClearDataSources();
  }

  // An entry that every listing and search shows: active, unexpired, with a picture.
  // `columns` and `values` name further columns and their values, each starting ", ".
  void AddEntry(int id, const std::string& title, int cat, int sub1 = 0, int sub2 = 0,
                const std::string& columns = "", const std::string& values = "") {
    db_.Exec(
        "INSERT INTO entries (ID, Title, CategoryId, SubcategoryId1, SubcategoryId2, "
        "SubcategoryId3, SubcategoryId4, SubcategoryId5, SubcategoryId6, Image1, "
        "ExpireDate, ActiveInd, clientID, beg_year, end_year" +
        columns + ") VALUES (" + std::to_string(id) + ", '" + title + "', " + std::to_string(cat) +
        ", " + std::to_string(sub1) + ", " + std::to_string(sub2) + ", 0, 0, 0, 0, 'pic" +
        std::to_string(id) + ".jpg', '2099-12-31', 'Y', 1, 1990, 2030" + values + ")");
  }
  void AddEntries(int first, int count, const std::string& title, int cat, int sub1 = 0) {
    db_.Exec("BEGIN");
    for (int i = 0; i < count; ++i) AddEntry(first + i, title, cat, sub1);
    db_.Exec("COMMIT");
  }

  // Local date `days` from today as the engine stores it.
  static std::string Day(int days) { return vb::ToIso(vb::Today() + days); }

  TempDb db_;
  InsertTable_summary cat_;
  std::vector<std::string> log_;
};

}  // namespace ksmain::testing
