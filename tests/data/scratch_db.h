// A scratch directory per test, databases made in it from engine DDL, and reads through
// a DataLink as the members read.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "data/datalink.h"
#include "data/engine_admin.h"
#include "data/pool.h"

namespace ksmain::testing {

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "_" + info->name() : "scratch";
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / ("ksmain_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    // Pooled sessions keep the files open; let them go before the files do.
    data::ResetPool();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(std::string_view name) const { return (path_ / name).string(); }
  std::string dir() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// Creates a database file at `path` holding `ddl` (engine SQL) and returns its connection
// string.
inline std::string MakeDatabase(const std::string& path, std::string_view ddl) {
  data::EngineDatabase db = data::EngineDatabase::Create(path);
  db.Script(ddl);
  return "Data Source=" + path;
}

// Every value of one field of a query's result.
inline std::vector<Variant> ColumnOf(const std::string& connect, sql::Dialect dialect, std::string_view query,
                                     std::string_view field) {
  data::DataLink link(Variant(connect), dialect);
  std::vector<Variant> values;
  for (data::Recordset& rs = link.Query(query); !rs.AtEof(); rs.MoveNext()) values.push_back(rs.Field(field));
  return values;
}

// The first field of the first row; Empty when there is no row.
inline Variant ScalarOf(const std::string& connect, sql::Dialect dialect, std::string_view query) {
  data::DataLink link(Variant(connect), dialect);
  data::Recordset& rs = link.Query(query);
  return rs.AtEof() ? Variant() : rs.Field(0);
}

}  // namespace ksmain::testing
