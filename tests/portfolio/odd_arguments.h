// Every odd Variant a page might pass, fed to each parameter of a member in turn and then
// to all at once: the member must end normally (its trap swallows what fails).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ksmain/variant.h"

namespace ksmain::testing {

inline std::vector<Variant> OddArguments() {
  std::string huge(1 << 18, '9');
  huge[10] = '\'';
  return {Variant(), Variant::Null(), Variant(std::int16_t{-1}), Variant(std::int32_t{2147483647}),
          Variant(1e300), Variant(std::nan("")), Variant::FromCurrency(-123456789), Variant(true),
          Variant::FromDate(46000.75), Variant(""), Variant("%"), Variant("1 or 1=1"),
          Variant("1; DELETE FROM Resource"), Variant("x' OR ''='"), Variant(std::move(huge)),
          Variant(VarArray::Of({Variant(1), Variant("a")})), Variant(VarArray::Grid(2, 2)),
          Variant(VarArray({{0, 1}, {0, 1}, {0, 1}}))};
}

// A member seen as a list of by-reference arguments.
using MemberCall = std::function<void(std::vector<Variant>&)>;

inline void ProbeWithOddArguments(const std::string& name, const MemberCall& call,
                                  const std::vector<Variant>& usual) {
  for (const Variant& odd : OddArguments()) {
    for (std::size_t i = 0; i <= usual.size(); ++i) {
      std::vector<Variant> args = usual;
      for (std::size_t j = 0; j < args.size(); ++j) {
        if (i == j || i == usual.size()) args[j] = odd;
      }
      EXPECT_NO_THROW(call(args)) << name << " argument " << i;
    }
  }
}

}  // namespace ksmain::testing
