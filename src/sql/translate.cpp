// Translate(): parse, analyse, print; the schema catalogue; the translation cache.
#include "sql/translate.h"

#include <list>
#include <mutex>
#include <unordered_map>

#include "sql/ast.h"
#include "sql/describe.h"
#include "sql/lexer.h"

namespace ksmain::sql {

ColumnType ColumnTypeFromDeclared(std::string_view declared) {
  // The type's first word decides; "varchar(50)", "DOUBLE PRECISION", "INT NOT NULL".
  std::size_t end = 0;
  while (end < declared.size() && (std::isalnum(static_cast<unsigned char>(declared[end])) ||
                                   declared[end] == '_'))
    ++end;
  std::size_t begin = 0;
  while (begin < declared.size() && declared[begin] == ' ') ++begin;
  if (begin > 0) return ColumnTypeFromDeclared(declared.substr(begin));
  const std::string word = Upper(declared.substr(0, end));
  if (word.empty()) return ColumnType::Unknown;
  if (word == "DATETIME" || word == "DATE" || word == "SMALLDATETIME" || word == "DATETIME2" ||
      word == "TIMESTAMP")
    return ColumnType::Date;
  if (word == "SMALLINT" || word == "SHORT" || word == "TINYINT") return ColumnType::Integer;
  if (word == "INTEGER" || word == "INT" || word == "LONG" || word == "COUNTER" ||
      word == "AUTOINCREMENT" || word == "BIGINT")
    return ColumnType::Long;
  if (word == "REAL" || word == "DOUBLE" || word == "FLOAT" || word == "SINGLE" ||
      word == "NUMERIC" || word == "DECIMAL")
    return ColumnType::Double;
  if (word == "MONEY" || word == "CURRENCY" || word == "SMALLMONEY") return ColumnType::Currency;
  if (word == "BIT" || word == "BOOLEAN" || word == "YESNO" || word == "LOGICAL")
    return ColumnType::Boolean;
  if (word == "TEXT" || word == "VARCHAR" || word == "NVARCHAR" || word == "CHAR" ||
      word == "NCHAR" || word == "NTEXT" || word == "MEMO" || word == "CHARACTER" ||
      word == "STRING" || word == "CLOB" || word == "LONGTEXT")
    return ColumnType::String;
  return ColumnType::Unknown;
}

void MemoryCatalog::Add(TableInfo table) {
  for (TableInfo& t : tables_) {
    if (EqualsNoCase(t.name, table.name)) {
      t = std::move(table);
      return;
    }
  }
  tables_.push_back(std::move(table));
}

const TableInfo* MemoryCatalog::FindTable(std::string_view name) const {
  for (const TableInfo& t : tables_) {
    if (EqualsNoCase(t.name, name)) return &t;
  }
  return nullptr;
}

namespace {

std::string ArgumentText(const Expr& e) {
  switch (e.kind) {
    case ExprKind::String:
    case ExprKind::Number: return e.text;
    case ExprKind::Null: return {};
    case ExprKind::Unary:
      if (e.text == "-" && e.args[0]->kind == ExprKind::Number) return "-" + e.args[0]->text;
      break;
    default: break;
  }
  throw SqlError("Procedure arguments must be literal values", e.pos);
}

}  // namespace

Translation Translate(std::string_view text, Dialect dialect, const SchemaCatalog& catalog) {
  Statement st = Parse(text);
  Translation out;
  out.kind = st.kind;
  if (st.kind == StatementKind::ProcedureCall) {
    out.procedure = st.call.procedure;
    for (const ExprPtr& a : st.call.args) out.arguments.push_back(ArgumentText(*a));
    return out;
  }
  Analyze(st, dialect, catalog);
  out.text = Print(st);
  if (st.kind == StatementKind::Select) {
    for (const SelectItem& item : st.select->items) {
      // A star over an unknown table: the engine's own column list is all there is.
      if (!item.result) {
        out.columns.clear();
        break;
      }
      out.columns.push_back(*item.result);
    }
  }
  return out;
}

namespace {

// A bounded LRU map from (dialect, catalogue, schema version, text) to translations.
// Members send the same few hundred statement shapes over and over, differing only in
// their values, so a modest bound keeps the hit rate high without growing with traffic.
class TranslationCache {
 public:
  static constexpr std::size_t kCapacity = 1024;

  std::shared_ptr<const Translation> Find(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->second;
  }

  void Put(const std::string& key, std::shared_ptr<const Translation> value) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(key);
    if (it != index_.end()) {
      it->second->second = std::move(value);
      entries_.splice(entries_.begin(), entries_, it->second);
      return;
    }
    entries_.emplace_front(key, std::move(value));
    index_.emplace(entries_.front().first, entries_.begin());
    if (entries_.size() > kCapacity) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
  }

 private:
  using Entry = std::pair<std::string, std::shared_ptr<const Translation>>;
  std::mutex mutex_;
  std::list<Entry> entries_;
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

TranslationCache& Cache() {
  static TranslationCache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const Translation> TranslateCached(std::string_view text, Dialect dialect,
                                                   const SchemaCatalog& catalog) {
  // The catalogue's address is part of the key besides its version, so two databases
  // whose catalogues both start at version 0 never share an entry.
  std::string key;
  key.reserve(text.size() + 32);
  key += dialect == Dialect::Jet ? 'J' : 'T';
  const auto address = reinterpret_cast<std::uintptr_t>(&catalog);
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  const std::uint64_t version = catalog.version();
  key.append(reinterpret_cast<const char*>(&version), sizeof version);
  key += text;
  if (auto hit = Cache().Find(key)) return hit;
  auto value = std::make_shared<const Translation>(Translate(text, dialect, catalog));
  Cache().Put(key, value);
  return value;
}

std::string DescribeTranslation(const Translation& t) {
  static constexpr const char* kTypes[] = {"Unknown", "Integer", "Long",    "Double",
                                           "Currency", "Boolean", "Date", "String"};
  std::string out;
  switch (t.kind) {
    case StatementKind::Select: out += "select"; break;
    case StatementKind::Insert: out += "insert"; break;
    case StatementKind::Update: out += "update"; break;
    case StatementKind::Delete: out += "delete"; break;
    case StatementKind::ProcedureCall: out += "procedure call"; break;
  }
  out += "\n";
  if (t.kind == StatementKind::ProcedureCall) {
    out += "procedure: " + t.procedure + "\n";
    for (std::size_t i = 0; i < t.arguments.size(); ++i)
      out += "argument " + std::to_string(i + 1) + ": '" + t.arguments[i] + "'\n";
    return out;
  }
  out += "text: " + t.text + "\n";
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    out += "column " + std::to_string(i) + ": \"" + t.columns[i].name + "\" " +
           kTypes[static_cast<int>(t.columns[i].type)] + "\n";
  }
  return out;
}

}  // namespace ksmain::sql
