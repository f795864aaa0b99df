// Comparisons: a variant against literal text, and the order of two variants.
#include "frame/vb_internal.h"

namespace ksmain::vb {
using namespace detail;

bool TextEquals(const Variant& v, std::string_view text) {
  switch (v.kind()) {
    case VarKind::Null: return false;
    case VarKind::Empty: return text.empty();
    case VarKind::String: return v.AsString() == text;
    default: return CStr(v) == text;
  }
}

std::optional<int> Compare(const Variant& a, const Variant& b) {
  if (a.IsArray() || b.IsArray()) Raise(err::kTypeMismatch);
  if (a.IsNull() || b.IsNull()) return std::nullopt;
  auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };

  // Empty takes the kind of the other side: "" against text, 0 against anything else.
  const bool a_text = a.IsString() || (a.IsEmpty() && b.IsString());
  const bool b_text = b.IsString() || (b.IsEmpty() && a.IsString());
  if (a_text && b_text) {
    const std::string_view x = a.IsString() ? std::string_view(a.AsString()) : std::string_view();
    const std::string_view y = b.IsString() ? std::string_view(b.AsString()) : std::string_view();
    return sign(x.compare(y), 0);  // byte order of UTF-8 is character-code order
  }
  // A date against a text that holds a date compares as two dates (a saved estimate
  // against the page's text of it); any other text is greater than a number or date.
  if (a.kind() == VarKind::Date && b.IsString()) {
    if (auto d = ParseDate(b.AsString())) return sign(a.AsDate(), *d);
  }
  if (b.kind() == VarKind::Date && a.IsString()) {
    if (auto d = ParseDate(a.AsString())) return sign(*d, b.AsDate());
  }
  if (a_text) return 1;
  if (b_text) return -1;
  if (a.kind() == VarKind::Currency && b.kind() == VarKind::Currency) {
    return sign(a.AsCurrency(), b.AsCurrency());
  }
  return sign(NumberOf(a), NumberOf(b));
}

bool SortGreater(const Variant& a, const Variant& b) { return Compare(a, b) == 1; }

}  // namespace ksmain::vb
