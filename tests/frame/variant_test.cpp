// Variant kinds, array bounds and the value semantics of arrays.
#include <gtest/gtest.h>

#include "ksmain/variant.h"
#include "support/raised.h"

namespace ksmain {
namespace {

using testing::ErrorOf;

// (Each constructor's kind shows in its text, VbText.CStrOfEveryKind, and in the bridge's
// form for it, BridgeEncoding.PlainAndTaggedForms.)
TEST(VariantKinds, ReadingAnotherKindIsATypeMismatch) {
  EXPECT_EQ(ErrorOf([] { (void)Variant("5").AsLong(); }), 13);
  // Equality is strict about kinds: Integer 5 is not Long 5.
  EXPECT_FALSE(Variant(std::int16_t{5}) == Variant(5));
}

TEST(VarArrayBounds, IndexingOutsideOrWithWrongArityRaisesNine) {
  VarArray a({{1, 3}, {-2, 0}});
  a.at({1, -2}) = Variant(1);
  a.at({3, 0}) = Variant(2);
  EXPECT_EQ(a.at({3, 0}), Variant(2));
  const std::vector<std::vector<std::int32_t>> bad = {{0, 0}, {4, 0}, {1, 1}, {1, -3}, {1}, {1, 0, 0}};
  for (const auto& index : bad) {
    EXPECT_EQ(ErrorOf([&] { (void)a.at(std::span<const std::int32_t>(index)); }), 9) << "arity " << index.size();
  }
  EXPECT_THROW((void)a.bound(2), VbError);
  EXPECT_THROW(VarArray({{0, 1 << 20}, {0, 1 << 20}}), VbError) << "huge shapes fail cleanly";
  const VarArray empty({{0, -1}});  // upper below lower: an array without cells
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_THROW((void)empty.at({0}), VbError);
}

TEST(VarArrayValues, CopiesAreIndependent) {
  Variant original(VarArray::Grid(2, 2));
  original.MutableArray().at({1, 1}) = Variant("before");
  Variant copy = original;
  copy.MutableArray().at({1, 1}) = Variant("after");
  EXPECT_EQ(original.AsArray().at({1, 1}), Variant("before"));
  EXPECT_EQ(copy.AsArray().at({1, 1}), Variant("after"));
}

}  // namespace
}  // namespace ksmain
