// The Variant value type and its arrays: storage, strict equality, bounds checking.
#include "ksmain/variant.h"

#include <cmath>
#include <ostream>

namespace ksmain {

std::string DescriptionOf(int number) {
  switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 10: return "This array is fixed or temporarily locked";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 94: return "Invalid use of Null";
    case 424: return "Object required";
    case 438: return "Object doesn't support this property or method";
    case 450: return "Wrong number of arguments or invalid property assignment";
    case 3265: return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case 3704: return "Operation is not allowed when the object is closed.";
    default: return "Application-defined or object-defined error";
  }
}

const char* KindName(VarKind kind) noexcept {
  switch (kind) {
    case VarKind::Empty: return "Empty";
    case VarKind::Null: return "Null";
    case VarKind::Integer: return "Integer";
    case VarKind::Long: return "Long";
    case VarKind::Double: return "Double";
    case VarKind::Currency: return "Currency";
    case VarKind::Boolean: return "Boolean";
    case VarKind::Date: return "Date";
    case VarKind::String: return "String";
    case VarKind::Array: return "Variant()";
  }
  return "Unknown";
}

bool Variant::IsNumberKind() const noexcept {
  switch (kind()) {
    case VarKind::Integer:
    case VarKind::Long:
    case VarKind::Double:
    case VarKind::Currency:
      return true;
    default:
      return false;
  }
}

namespace {
[[noreturn]] void Mismatch() { throw VbError(err::kTypeMismatch); }
}  // namespace

std::int16_t Variant::AsInteger() const {
  if (auto* p = std::get_if<std::int16_t>(&value_)) return *p;
  Mismatch();
}
std::int32_t Variant::AsLong() const {
  if (auto* p = std::get_if<std::int32_t>(&value_)) return *p;
  Mismatch();
}
double Variant::AsDouble() const {
  if (auto* p = std::get_if<double>(&value_)) return *p;
  Mismatch();
}
std::int64_t Variant::AsCurrency() const {
  if (auto* p = std::get_if<CurrencyTag>(&value_)) return p->scaled;
  Mismatch();
}
bool Variant::AsBoolean() const {
  if (auto* p = std::get_if<bool>(&value_)) return *p;
  Mismatch();
}
double Variant::AsDate() const {
  if (auto* p = std::get_if<DateTag>(&value_)) return p->serial;
  Mismatch();
}
const std::string& Variant::AsString() const {
  if (auto* p = std::get_if<std::string>(&value_)) return *p;
  Mismatch();
}
const VarArray& Variant::AsArray() const {
  if (auto* p = std::get_if<std::shared_ptr<VarArray>>(&value_)) return **p;
  Mismatch();
}
VarArray& Variant::MutableArray() {
  auto* p = std::get_if<std::shared_ptr<VarArray>>(&value_);
  if (p == nullptr) Mismatch();
  if (p->use_count() > 1) *p = std::make_shared<VarArray>(**p);
  return **p;
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == VarKind::Array) return a.AsArray() == b.AsArray();
  return a.value_ == b.value_;
}

std::ostream& operator<<(std::ostream& os, const Variant& v) {
  switch (v.kind()) {
    case VarKind::Empty: return os << "Empty";
    case VarKind::Null: return os << "Null";
    case VarKind::Integer: return os << "Integer(" << v.AsInteger() << ")";
    case VarKind::Long: return os << "Long(" << v.AsLong() << ")";
    case VarKind::Double: return os << "Double(" << v.AsDouble() << ")";
    case VarKind::Currency: return os << "Currency(" << v.AsCurrency() << "/10000)";
    case VarKind::Boolean: return os << (v.AsBoolean() ? "True" : "False");
    case VarKind::Date: return os << "Date(" << v.AsDate() << ")";
    case VarKind::String: return os << "String(\"" << v.AsString() << "\")";
    case VarKind::Array: {
      os << "Array(";
      const auto& bounds = v.AsArray().bounds();
      for (std::size_t i = 0; i < bounds.size(); ++i) {
        os << (i ? ", " : "") << bounds[i].lower << ".." << bounds[i].upper;
      }
      return os << ")";
    }
  }
  return os;
}

VarArray::VarArray(std::vector<ArrayBound> bounds) : bounds_(std::move(bounds)) {
  std::int64_t total = bounds_.empty() ? 0 : 1;
  for (const auto& b : bounds_) {
    total *= b.count();
    if (total > kMaxCells) throw VbError(7);
  }
  cells_.resize(static_cast<std::size_t>(total));
}

VarArray VarArray::Of(std::vector<Variant> values) {
  VarArray a;
  a.bounds_.push_back({0, static_cast<std::int32_t>(values.size()) - 1});
  a.cells_ = std::move(values);
  return a;
}

VarArray VarArray::Grid(std::int32_t upper0, std::int32_t upper1) {
  return VarArray({{0, upper0}, {0, upper1}});
}

const ArrayBound& VarArray::bound(int dim) const {
  if (dim < 0 || dim >= dims()) throw VbError(err::kSubscript);
  return bounds_[static_cast<std::size_t>(dim)];
}

std::size_t VarArray::Offset(std::span<const std::int32_t> index) const {
  if (index.size() != bounds_.size() || bounds_.empty()) throw VbError(err::kSubscript);
  std::size_t offset = 0;
  for (std::size_t d = 0; d < bounds_.size(); ++d) {
    const auto& b = bounds_[d];
    if (index[d] < b.lower || index[d] > b.upper) throw VbError(err::kSubscript);
    offset = offset * static_cast<std::size_t>(b.count()) +
             static_cast<std::size_t>(std::int64_t{index[d]} - b.lower);
  }
  return offset;
}

const Variant& VarArray::at(std::span<const std::int32_t> index) const {
  return cells_[Offset(index)];
}

Variant& VarArray::at(std::span<const std::int32_t> index) { return cells_[Offset(index)]; }

}  // namespace ksmain
