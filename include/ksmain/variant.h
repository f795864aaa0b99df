// The automation variant and its arrays.
//
// A Variant holds exactly the kinds that pages exchange with the library: Empty, Null,
// Integer (16-bit), Long (32-bit), Double, Currency (64-bit scaled by 10,000), Boolean,
// Date (days since 1899-12-30, the fraction being the time of day), String (UTF-8) and
// Array of Variant. Values have value semantics: assigning a Variant that holds an array
// copies the array (copy-on-write underneath, so passing grids around stays cheap).
//
// The accessors below read a kind as it is stored; conversions between kinds follow the
// runtime's rules and live in frame/vb_runtime.h.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ksmain/error.h"

namespace ksmain {

enum class VarKind : std::uint8_t {
  Empty,
  Null,
  Integer,
  Long,
  Double,
  Currency,
  Boolean,
  Date,
  String,
  Array,
};

// "Empty", "Null", "Integer", ... as the runtime's TypeName prints them.
const char* KindName(VarKind kind) noexcept;

class VarArray;

class Variant {
 public:
  Variant() noexcept = default;
  Variant(std::int16_t v) noexcept : value_(v) {}
  Variant(std::int32_t v) noexcept : value_(v) {}
  Variant(double v) noexcept : value_(v) {}
  Variant(bool v) noexcept : value_(v) {}
  Variant(std::string v) noexcept : value_(std::move(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(VarArray array);

  static Variant Null() noexcept { return Variant(NullTag{}); }
  static Variant FromCurrency(std::int64_t scaled) noexcept { return Variant(CurrencyTag{scaled}); }
  static Variant FromDate(double serial) noexcept { return Variant(DateTag{serial}); }

  VarKind kind() const noexcept { return static_cast<VarKind>(value_.index()); }
  bool IsEmpty() const noexcept { return kind() == VarKind::Empty; }
  bool IsNull() const noexcept { return kind() == VarKind::Null; }
  bool IsArray() const noexcept { return kind() == VarKind::Array; }
  bool IsString() const noexcept { return kind() == VarKind::String; }
  // Integer, Long, Double, Currency (the kinds arithmetic works on without conversion).
  bool IsNumberKind() const noexcept;

  // Stored values; asking for another kind raises error 13 (Type mismatch).
  std::int16_t AsInteger() const;
  std::int32_t AsLong() const;
  double AsDouble() const;
  std::int64_t AsCurrency() const;
  bool AsBoolean() const;
  double AsDate() const;
  const std::string& AsString() const;
  const VarArray& AsArray() const;
  // Writable access to the held array; unshares it first so other copies keep theirs.
  VarArray& MutableArray();

  // Strict identity of kind and value (arrays compared cell by cell); for tests and
  // caches. The runtime's own comparisons are in vb_runtime.h.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct CurrencyTag {
    std::int64_t scaled;
    bool operator==(const CurrencyTag&) const = default;
  };
  struct DateTag {
    double serial;
    bool operator==(const DateTag&) const = default;
  };
  explicit Variant(NullTag t) noexcept : value_(t) {}
  explicit Variant(CurrencyTag t) noexcept : value_(t) {}
  explicit Variant(DateTag t) noexcept : value_(t) {}

  // The alternatives are in VarKind order, so index() is the kind.
  std::variant<std::monostate, NullTag, std::int16_t, std::int32_t, double, CurrencyTag, bool,
               DateTag, std::string, std::shared_ptr<VarArray>>
      value_;
};

// Readable form for test failure messages: Integer(5), String("a"), Array(0..2, 0..3).
std::ostream& operator<<(std::ostream& os, const Variant& v);

struct ArrayBound {
  std::int32_t lower = 0;
  std::int32_t upper = -1;
  std::int64_t count() const noexcept {
    return upper < lower ? 0 : std::int64_t{upper} - lower + 1;
  }
  bool operator==(const ArrayBound&) const = default;
};

// An array of Variant with any number of dimensions, each with its own bounds.
// Indexing with the wrong number of indices or outside a bound raises error 9.
class VarArray {
 public:
  // The most cells one array may hold; larger shapes fail with error 7 (Out of memory)
  // instead of exhausting the process.
  static constexpr std::int64_t kMaxCells = std::int64_t{1} << 26;

  VarArray() = default;
  explicit VarArray(std::vector<ArrayBound> bounds);
  // A one-dimensional array with lower bound 0 holding the given values.
  static VarArray Of(std::vector<Variant> values);
  // Two dimensions with lower bounds 0 and the given upper bounds.
  static VarArray Grid(std::int32_t upper0, std::int32_t upper1);

  int dims() const noexcept { return static_cast<int>(bounds_.size()); }
  const std::vector<ArrayBound>& bounds() const noexcept { return bounds_; }
  // Bound of a dimension numbered from 0; error 9 for a dimension the array lacks.
  const ArrayBound& bound(int dim) const;
  std::size_t size() const noexcept { return cells_.size(); }

  const Variant& at(std::span<const std::int32_t> index) const;
  Variant& at(std::span<const std::int32_t> index);
  const Variant& at(std::initializer_list<std::int32_t> index) const {
    return at(std::span<const std::int32_t>(index.begin(), index.size()));
  }
  Variant& at(std::initializer_list<std::int32_t> index) {
    return at(std::span<const std::int32_t>(index.begin(), index.size()));
  }

  // Cells in storage order: the last dimension varies fastest.
  const std::vector<Variant>& cells() const noexcept { return cells_; }
  std::vector<Variant>& cells() noexcept { return cells_; }

  friend bool operator==(const VarArray& a, const VarArray& b) {
    return a.bounds_ == b.bounds_ && a.cells_ == b.cells_;
  }

 private:
  std::size_t Offset(std::span<const std::int32_t> index) const;

  std::vector<ArrayBound> bounds_;
  std::vector<Variant> cells_;
};

inline Variant::Variant(VarArray array)
    : value_(std::make_shared<VarArray>(std::move(array))) {}

}  // namespace ksmain
