// Catalogues shared between sessions by their schema text: a file replaced at the same
// path with another schema gets its own catalogue, and the cache keeps to its bounds.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "data/datalink.h"
#include "data/scratch_db.h"
#include "data/sqlite/schema_catalogs.h"

namespace ksmain::data::sqlite {
namespace {

using testing::MakeDatabase;
using testing::ScratchDir;

// The same stored text reads as a Date where its column is declared DATETIME and as a
// String where it is not: the kind comes from the catalogue the session found.
TEST(SchemaCatalogs, EachSchemaTextGetsItsOwnCatalogue) {
  ScratchDir dir;
  const std::string path = dir.File("p.db");
  struct Case {
    const char* name;
    const char* ddl;
    const char* query;
    VarKind kind;
  };
  const Case cases[] = {
      {"1 date column", "CREATE TABLE t (d DATETIME)", "SELECT d FROM t", VarKind::Date},
      {"2 same path, text column", "CREATE TABLE t (d TEXT)", "SELECT d FROM t", VarKind::String},
      {"3 back to a date column", "CREATE TABLE t (d DATETIME)", "SELECT d FROM t", VarKind::Date},
      {"4 the same schema spelt otherwise", "CREATE TABLE t (d  TEXT)", "SELECT d FROM t",
       VarKind::String},
      // Views are part of the key: the same table under another view.
      {"5 a view of the date column",
       "CREATE TABLE t (d DATETIME, e TEXT DEFAULT '2020-01-02'); "
       "CREATE VIEW v AS SELECT d FROM t",
       "SELECT d FROM v", VarKind::Date},
      {"6 a view of the text column",
       "CREATE TABLE t (d DATETIME, e TEXT DEFAULT '2020-01-02'); "
       "CREATE VIEW v AS SELECT e AS d FROM t",
       "SELECT d FROM v", VarKind::String},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetPool();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    const std::string connect =
        MakeDatabase(path, std::string(c.ddl) + "; INSERT INTO t (d) VALUES ('2020-01-02');");
    DataLink link(Variant(connect), sql::Dialect::Jet);
    EXPECT_EQ(link.Query(c.query).Field("d").kind(), c.kind);
  }
}

std::shared_ptr<const sql::SchemaCatalog> Catalog(std::uint64_t version) {
  return std::make_shared<sql::MemoryCatalog>(version);
}

TEST(SchemaCatalogs, CacheKeepsToItsBounds) {
  CatalogCache cache(2, 100);
  cache.Put("a", Catalog(1), 10);
  cache.Put("b", Catalog(2), 10);
  ASSERT_NE(cache.Find("a"), nullptr);  // now the most recently used
  cache.Put("c", Catalog(3), 10);       // over the count: "b" goes
  EXPECT_EQ(cache.Find("b"), nullptr);
  EXPECT_EQ(cache.Find("a")->version(), 1u);
  EXPECT_EQ(cache.Find("c")->version(), 3u);
  cache.Put("d", Catalog(4), 90);  // over the bytes: both others go
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_EQ(cache.bytes(), 91u);
  cache.Put("e", Catalog(5), 100);  // alone over the bytes: not kept
  EXPECT_EQ(cache.Find("e"), nullptr);
  EXPECT_EQ(cache.Find("d")->version(), 4u);
}

// Sessions open on many threads at once in the service.
TEST(SchemaCatalogs, CacheIsSafeFromManyThreads) {
  CatalogCache cache(4, 1 << 20);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&cache, t] {
      for (int i = 0; i < 200; ++i) {
        const std::string key(1 + (i + t) % 7, 'k');
        if (auto found = cache.Find(key)) {
          EXPECT_EQ(found->version(), key.size());
        } else {
          cache.Put(key, Catalog(key.size()), 16);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_LE(cache.size(), 4u);
}

}  // namespace
}  // namespace ksmain::data::sqlite
