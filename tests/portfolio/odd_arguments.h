// Feeding every parameter of a member every odd Variant a page might pass: the member
// must end normally (its trap swallows what fails) and leave the database as it was.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ksmain/variant.h"

namespace ksmain::testing {

inline std::vector<Variant> OddArguments() {
  std::string huge(1 << 18, 'x');
  huge[10] = '\'';
  return {
      Variant(),
      Variant::Null(),
      Variant(std::int16_t{-1}),
      Variant(std::int32_t{2147483647}),
      Variant(1e300),
      Variant(std::nan("")),
      Variant::FromCurrency(-123456789),
      Variant(true),
      Variant::FromDate(46000.75),
      Variant(""),
      Variant("%"),
      Variant("1 or 1=1"),
      Variant("1; DELETE FROM Resource"),
      Variant("x' OR ''='"),
      Variant(std::move(huge)),
      Variant(VarArray::Of({Variant(1), Variant("a")})),
      Variant(VarArray::Grid(2, 2)),
      Variant(VarArray({{0, 1}, {0, 1}, {0, 1}})),
  };
}

// A member seen as a list of by-reference arguments.
using MemberCall = std::function<void(std::vector<Variant>&)>;

// Replaces one argument at a time, then all of them at once, with each odd value.
inline void ProbeWithOddArguments(const std::string& name, const MemberCall& call,
                                  const std::vector<Variant>& usual) {
  for (const Variant& odd : OddArguments()) {
    for (std::size_t i = 0; i <= usual.size(); ++i) {
      std::vector<Variant> args = usual;
      if (i == usual.size()) {
        for (Variant& a : args) a = odd;
      } else {
        args[i] = odd;
      }
      EXPECT_NO_THROW(call(args)) << name << " argument " << i;
    }
  }
}

}  // namespace ksmain::testing
