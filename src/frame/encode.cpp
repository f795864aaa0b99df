// EncodeUserText: the two rule sets applied to user text before it is joined into SQL.
#include "frame/encode.h"

#include <array>
#include <string_view>

#include "frame/vb_runtime.h"

namespace ksmain {
namespace {

struct Step {
  std::string_view find;
  std::string_view with;
};

// Order matters: "'" , "#" and "&" go before any reference is inserted, so the "&" and
// "#" of an inserted reference survive, and no later step touches a reference.
constexpr std::array<Step, 15> kPortfolioSteps{{
    {"'", ""},
    {"#", ""},
    {"&", " and "},
    {"\"", "&#34;"},
    {"/", "&#47;"},
    {"\\", "&#92;"},
    {".", "&#46;"},
    {"(", "&#40;"},
    {")", "&#41;"},
    {"*", "&#42;"},
    {"?", "&#63;"},
    {"|", "&#124;"},
    {"<", "&#60;"},
    {">", "&#62;"},
    {std::string_view("\0", 1), " "},
}};

constexpr std::array<Step, 4> kCatalogueSteps{{
    {"'", ""},
    {"\"", ""},
    {"|", ""},
    {"&", " and "},
}};

template <std::size_t N>
std::string Apply(std::string text, const std::array<Step, N>& steps) {
  for (const Step& s : steps) text = vb::Replace(text, s.find, s.with);
  return text;
}

}  // namespace

Variant EncodeUserText(Variant& value, EncodeRules rules) {
  if (value.IsNull()) return rules == EncodeRules::Portfolio ? Variant() : Variant::Null();
  std::string text = vb::CStr(value);
  text = rules == EncodeRules::Portfolio ? Apply(std::move(text), kPortfolioSteps)
                                         : Apply(std::move(text), kCatalogueSteps);
  value = text;
  return Variant(std::move(text));
}

}  // namespace ksmain
