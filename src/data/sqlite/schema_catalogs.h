// Catalogues of declared column types shared between sessions.
//
// A fresh session would otherwise spend most of its open reading every table's columns.
// The catalogue is a function of the schema's text alone (the CREATE statements the
// database keeps), so a session that finds a catalogue built from byte-identical text
// reuses it: no file identity or counter is trusted, as those are reused by other files.
// Bounded by count and by bytes; safe to use from several threads.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sql/translate.h"

namespace ksmain::data::sqlite {

class CatalogCache {
 public:
  CatalogCache(std::size_t max_entries, std::size_t max_bytes)
      : max_entries_(max_entries), max_bytes_(max_bytes) {}

  // The catalogue built from exactly this schema text, or nullptr.
  std::shared_ptr<const sql::SchemaCatalog> Find(std::string_view schema_text);
  // Keeps `catalog` (about `catalog_bytes` in memory) for this text, dropping the least
  // recently used entries past either bound. An entry alone over the byte bound is not kept.
  void Put(std::string schema_text, std::shared_ptr<const sql::SchemaCatalog> catalog,
           std::size_t catalog_bytes);
  std::size_t size() const;
  std::size_t bytes() const;

 private:
  struct Entry {
    std::string text;
    std::shared_ptr<const sql::SchemaCatalog> catalog;
    std::size_t bytes;
  };
  mutable std::mutex mutex_;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
  std::size_t bytes_ = 0;
  std::size_t max_entries_;
  std::size_t max_bytes_;
};

// The process-wide cache the embedded sessions use.
CatalogCache& SharedCatalogs();

// Memory a catalogue of these tables takes, near enough for the cache's byte bound.
std::size_t CatalogBytes(const std::vector<sql::TableInfo>& tables);

}  // namespace ksmain::data::sqlite
