// Translate(): parse, analyse, print; the schema catalogue; the translation cache.
#include "sql/translate.h"

#include <algorithm>
#include <list>
#include <atomic>
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

namespace {

// Counted with relaxed atomics: the figures are for an operator's eyes, never for control.
struct CacheCounters {
  std::atomic<std::uint64_t> exact_hits{0};
  std::atomic<std::uint64_t> shape_hits{0};
  std::atomic<std::uint64_t> translated{0};
};

CacheCounters& Counters() {
  static CacheCounters counters;
  return counters;
}

void Count(std::atomic<std::uint64_t>& counter) { counter.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

TranslationCacheStatistics GetTranslationCacheStatistics() {
  const CacheCounters& c = Counters();
  return {c.exact_hits.load(std::memory_order_relaxed), c.shape_hits.load(std::memory_order_relaxed),
          c.translated.load(std::memory_order_relaxed)};
}

void CountExactHit() noexcept { Count(Counters().exact_hits); }

Translation Translate(std::string_view text, Dialect dialect, const SchemaCatalog& catalog) {
  Count(Counters().translated);
  Statement st = Parse(text, dialect);
  Translation out;
  out.kind = st.kind;
  if (st.kind == StatementKind::ProcedureCall) {
    out.procedure = st.call.procedure;
    for (const ExprPtr& a : st.call.args) out.arguments.push_back(ArgumentText(*a));
    return out;
  }
  Analyze(st, dialect, catalog);
  out.text = Print(st, catalog.target(), &out.order_at);
  std::vector<std::size_t> checks;
  out.parameterised_text = PrintParameterised(st, out.parameters, checks, catalog.target(),
                                              &out.parameterised_order_at);
  for (std::size_t i = 0; i < checks.size(); ++i) {
    if (checks[i] != 0) out.check_order.push_back(i);
  }
  std::sort(out.check_order.begin(), out.check_order.end(),
            [&](std::size_t a, std::size_t b) { return checks[a] < checks[b]; });
  if (st.kind == StatementKind::Select) {
    out.limited = st.select->top.has_value();
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

// A bounded LRU map from a text key to shared values, safe to use from several threads.
// Members send the same few hundred statement shapes over and over, so a modest bound
// keeps the hit rate high without growing with traffic. A key put twice keeps its first
// value: both came from the same key, so they are the same.
template <class Value>
class LruCache {
 public:
  static constexpr std::size_t kCapacity = 1024;

  std::shared_ptr<const Value> Find(std::string_view key) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    if (it->second != entries_.begin()) entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->second;
  }

  void Put(std::string key, std::shared_ptr<const Value> value) {
    std::lock_guard lock(mutex_);
    if (index_.contains(key)) return;
    entries_.emplace_front(std::move(key), std::move(value));
    index_.emplace(entries_.front().first, entries_.begin());
    if (entries_.size() > kCapacity) {
      index_.erase(entries_.back().first);
      entries_.pop_back();
    }
  }

 private:
  using Entry = std::pair<std::string, std::shared_ptr<const Value>>;
  std::mutex mutex_;
  std::list<Entry> entries_;
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};

// Translations by (dialect, catalogue, schema version, text).
using TranslationCache = LruCache<Translation>;

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
  key += catalog.target() == Target::Sqlite ? 's' : 'p';
  const auto address = reinterpret_cast<std::uintptr_t>(&catalog);
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  const std::uint64_t version = catalog.version();
  key.append(reinterpret_cast<const char*>(&version), sizeof version);
  key += text;
  if (auto hit = Cache().Find(key)) return hit;
  auto value = std::make_shared<const Translation>(Translate(text, dialect, catalog));
  Cache().Put(std::string(key), value);
  return value;
}

namespace {

// Statement shapes with more literals than this are translated per text: the engine limits
// the parameters of one statement, and such texts (long value lists) do not repeat anyway.
constexpr std::size_t kMaxParameters = 1000;

// Translations of one shape. Literals that stay written out in the engine text (TOP n, a
// position in ORDER BY, a column alias given as a text) pin their values: each combination
// of pinned values has its own translation, the most recently used first.
struct ShapeVariant {
  std::vector<std::pair<int, std::string>> pinned;  // literal ordinal, its text as written
  std::shared_ptr<const Translation> translation;
};

struct Shape {
  bool procedure = false;  // a procedure call: its arguments are its values already
  std::vector<ShapeVariant> variants;
};

constexpr std::size_t kMaxVariants = 8;

class ShapeCache {
 public:
  static constexpr std::size_t kCapacity = 1024;

  // The translation whose pinned literals equal those of `text`; nullptr when there is
  // none. Sets `procedure` when the shape is a procedure call.
  std::shared_ptr<const Translation> Find(const std::string& key, std::string_view text,
                                          const std::vector<TokenSpan>& literals, bool& procedure) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    Shape& shape = it->second->second;
    procedure = shape.procedure;
    for (std::size_t v = 0; v < shape.variants.size(); ++v) {
      const ShapeVariant& variant = shape.variants[v];
      const bool match = std::all_of(variant.pinned.begin(), variant.pinned.end(), [&](const auto& pin) {
        const TokenSpan& span = literals[static_cast<std::size_t>(pin.first)];
        return text.substr(span.begin, span.end - span.begin) == pin.second;
      });
      if (!match) continue;
      if (v != 0) std::rotate(shape.variants.begin(), shape.variants.begin() + v, shape.variants.begin() + v + 1);
      return shape.variants.front().translation;
    }
    return nullptr;
  }

  void Add(const std::string& key, bool procedure, ShapeVariant variant) {
    std::lock_guard lock(mutex_);
    auto it = index_.find(key);
    if (it == index_.end()) {
      entries_.emplace_front(key, Shape{});
      it = index_.emplace(entries_.front().first, entries_.begin()).first;
      if (entries_.size() > kCapacity) {
        index_.erase(entries_.back().first);
        entries_.pop_back();
      }
    } else {
      entries_.splice(entries_.begin(), entries_, it->second);
    }
    Shape& shape = it->second->second;
    shape.procedure = procedure;
    if (procedure) return;
    shape.variants.insert(shape.variants.begin(), std::move(variant));
    if (shape.variants.size() > kMaxVariants) shape.variants.pop_back();
  }

 private:
  using Entry = std::pair<std::string, Shape>;
  std::mutex mutex_;
  std::list<Entry> entries_;
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

ShapeCache& Shapes() {
  static ShapeCache cache;
  return cache;
}

std::vector<BoundValue> BindValues(const Translation& t, std::string_view text,
                                   const std::vector<TokenSpan>& literals) {
  std::vector<BoundValue> values(t.parameters.size());
  auto convert = [&](std::size_t i) {
    const Parameter& p = t.parameters[i];
    const TokenSpan& span = literals[static_cast<std::size_t>(p.literal)];
    values[i] = LiteralValue(span.kind, TokenValue(text, span), span.begin + 1, p.conversion);
  };
  // Conversions that can fail first, in the analysis's order: the same value is reported
  // as a full translation of this text would report it.
  for (std::size_t i : t.check_order) convert(i);
  for (std::size_t i = 0; i < t.parameters.size(); ++i) {
    if (t.parameters[i].conversion == LiteralConversion::None) convert(i);
  }
  return values;
}

// Bound statements by their exact text. Members that query once per row mostly send the
// same few texts again and again (one per category, per flag); for those a look-up of the
// whole text replaces the scan for literals and the conversion of each value. Only
// statements that translated and bound without error are kept, so a rejected text is
// rejected again by the full path.
using ExactCache = LruCache<BoundStatement>;

ExactCache& ExactTexts() {
  static ExactCache cache;
  return cache;
}

BoundStatement TranslateBoundUncached(std::string_view text, Dialect dialect,
                                      const SchemaCatalog& catalog);

}  // namespace

BoundStatement TranslateBound(std::string_view text, Dialect dialect, const SchemaCatalog& catalog) {
  return *TranslateBoundShared(text, dialect, catalog);
}

std::shared_ptr<const BoundStatement> TranslateBoundShared(std::string_view text, Dialect dialect,
                                                           const SchemaCatalog& catalog) {
  // Keyed like the translation cache: dialect, catalogue address and version, text. The
  // key is built in a buffer kept per thread, so a hit allocates nothing.
  thread_local std::string key;
  key.clear();
  key.reserve(text.size() + 1 + sizeof(std::uintptr_t) + sizeof(std::uint64_t));
  key += dialect == Dialect::Jet ? 'J' : 'T';
  key += catalog.target() == Target::Sqlite ? 's' : 'p';
  const auto address = reinterpret_cast<std::uintptr_t>(&catalog);
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  const std::uint64_t version = catalog.version();
  key.append(reinterpret_cast<const char*>(&version), sizeof version);
  key += text;
  if (auto hit = ExactTexts().Find(key)) {
    Count(Counters().exact_hits);
    return hit;
  }
  auto bound = std::make_shared<const BoundStatement>(TranslateBoundUncached(text, dialect, catalog));
  ExactTexts().Put(std::string(key), bound);
  return bound;
}

namespace {

BoundStatement TranslateBoundUncached(std::string_view text, Dialect dialect,
                                      const SchemaCatalog& catalog) {
  // The key: dialect, catalogue, version, then the text with each literal replaced by a
  // mark of its kind. Numbers are marked by the kind the analysis gives them (32-bit
  // integer or not), because that kind decides result kinds and arithmetic.
  std::string key;
  key.reserve(text.size() + 32);
  key += dialect == Dialect::Jet ? 'J' : 'T';
  key += catalog.target() == Target::Sqlite ? 's' : 'p';
  const auto address = reinterpret_cast<std::uintptr_t>(&catalog);
  key.append(reinterpret_cast<const char*>(&address), sizeof address);
  const std::uint64_t version = catalog.version();
  key.append(reinterpret_cast<const char*>(&version), sizeof version);
  std::vector<TokenSpan> literals;
  bool scanned = true;
  try {
    std::size_t i = 0;
    std::size_t copied = 0;
    for (;;) {
      const TokenSpan span = ScanToken(text, i, dialect);
      if (span.kind == TokenKind::End) break;
      char mark;
      switch (span.kind) {
        case TokenKind::String: mark = 'S'; break;
        case TokenKind::Date: mark = 'H'; break;
        case TokenKind::Number:
          mark = NumberLiteralType(text.substr(span.begin, span.end - span.begin)) == ColumnType::Long ? 'L' : 'R';
          break;
        default: continue;
      }
      key.append(text.substr(copied, span.begin - copied));
      key += '\x01';
      key += mark;
      copied = span.end;
      literals.push_back(span);
    }
    key.append(text.substr(copied));
  } catch (const SqlError&) {
    scanned = false;  // the full translation reports it
  }
  if (!scanned || literals.size() > kMaxParameters) {
    return BoundStatement{TranslateCached(text, dialect, catalog), false, {}};
  }

  bool procedure = false;
  if (auto hit = Shapes().Find(key, text, literals, procedure)) {
    Count(Counters().shape_hits);
    std::vector<BoundValue> values = BindValues(*hit, text, literals);
    return BoundStatement{std::move(hit), true, std::move(values)};
  }
  if (procedure) return BoundStatement{TranslateCached(text, dialect, catalog), false, {}};

  auto translation = std::make_shared<const Translation>(Translate(text, dialect, catalog));
  if (translation->kind == StatementKind::ProcedureCall) {
    Shapes().Add(key, true, {});
    return BoundStatement{std::move(translation), false, {}};
  }
  ShapeVariant variant;
  std::vector<bool> bound(literals.size(), false);
  for (const Parameter& p : translation->parameters) bound[static_cast<std::size_t>(p.literal)] = true;
  for (std::size_t i = 0; i < literals.size(); ++i) {
    if (!bound[i]) {
      variant.pinned.emplace_back(static_cast<int>(i),
                                  std::string(text.substr(literals[i].begin, literals[i].end - literals[i].begin)));
    }
  }
  variant.translation = translation;
  Shapes().Add(key, false, std::move(variant));
  std::vector<BoundValue> values = BindValues(*translation, text, literals);
  return BoundStatement{std::move(translation), true, std::move(values)};
}

}  // namespace

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
