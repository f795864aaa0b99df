// The shared catalogue cache: a least-recently-used list under one mutex. Look-ups happen
// once per session open or schema change, never per statement, so one lock is plenty.
#include "data/sqlite/schema_catalogs.h"

namespace ksmain::data::sqlite {

std::shared_ptr<const sql::SchemaCatalog> CatalogCache::Find(std::string_view schema_text) {
  std::lock_guard lock(mutex_);
  auto it = index_.find(schema_text);
  if (it == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, it->second);
  return it->second->catalog;
}

void CatalogCache::Put(std::string schema_text, std::shared_ptr<const sql::SchemaCatalog> catalog,
                       std::size_t catalog_bytes) {
  const std::size_t bytes = schema_text.size() + catalog_bytes;
  if (bytes > max_bytes_ || max_entries_ == 0) return;
  std::lock_guard lock(mutex_);
  if (index_.contains(schema_text)) return;  // another session built the same one
  entries_.push_front(Entry{std::move(schema_text), std::move(catalog), bytes});
  index_.emplace(entries_.front().text, entries_.begin());
  bytes_ += bytes;
  while (entries_.size() > max_entries_ || bytes_ > max_bytes_) {
    bytes_ -= entries_.back().bytes;
    index_.erase(entries_.back().text);
    entries_.pop_back();
  }
}

std::size_t CatalogCache::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::size_t CatalogCache::bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

CatalogCache& SharedCatalogs() {
  // A service opens a handful of database schemas; a page host one or two.
  static CatalogCache cache(32, 8u << 20);
  return cache;
}

std::size_t CatalogBytes(const std::vector<sql::TableInfo>& tables) {
  std::size_t bytes = 0;
  for (const sql::TableInfo& table : tables) {
    bytes += sizeof(sql::TableInfo) + table.name.size();
    for (const sql::ColumnInfo& column : table.columns) {
      bytes += sizeof(sql::ColumnInfo) + column.name.size();
    }
  }
  return bytes;
}

}  // namespace ksmain::data::sqlite
