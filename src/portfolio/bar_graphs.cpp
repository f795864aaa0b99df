// The horizontal bar of one project: ten cells coloured up to the reported completion with
// the actual colour and, beyond it, up to where the plan says the project should be by now
// with the target colour; and that planned percentage itself.
//
// The calculation arms no error trap: a failure reaches the caller (the project list ends
// its row loop there). Comparisons with numbers are numeric, so a percentage that arrives
// as text ("45") counts as 45, and a Null never passes a test.
#include <optional>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"

namespace ksmain {
namespace {

constexpr std::int32_t kBarCells = 10;

// The numeric value a comparison with a number sees; nullopt for Null, whose comparisons
// are never true. Text that is not a number fails as a type mismatch.
std::optional<double> Comparable(const Variant& v) {
  if (v.IsNull()) return std::nullopt;
  return vb::CDbl(v);
}

// DateDiff("d", from, to) of two variants: Null when either is Null.
std::optional<std::int32_t> DayDifference(const Variant& from, const Variant& to) {
  if (from.IsNull() || to.IsNull()) return std::nullopt;
  return vb::DateDiffDays(vb::CDate(from), vb::CDate(to));
}

// Colours the cells that a percentage reaches: cell 1 as soon as it is above 0, cell k
// (k >= 2) from 10 * k on.
void ColourCells(VarArray& bar, const Variant& percent, const std::string& colour) {
  const std::optional<double> p = Comparable(percent);
  if (!p) return;
  if (*p > 0) bar.at({1}) = colour;
  for (std::int32_t k = 2; k <= kBarCells; ++k) {
    if (*p > 10.0 * (k - 1) && *p >= 10.0 * k) bar.at({k}) = colour;
  }
}

}  // namespace

Variant Kestrel::CalcHorizontalBarGraphs(Variant& objBarArray, Variant& objActualDays,
                                         Variant& objPercentCompleted,
                                         Variant& objEstDateStarted,
                                         Variant& objEstDateCompleted,
                                         Variant& objTargetPercent) {
  objBarArray = VarArray({ArrayBound{0, kBarCells}});

  std::optional<std::int32_t> duration = DayDifference(objEstDateStarted, objEstDateCompleted);
  if (duration && *duration == 0) duration = 1;

  objTargetPercent = std::int16_t{0};
  if (vb::TextEquals(objActualDays, "")) objActualDays = std::int16_t{0};

  const std::optional<double> remaining = Comparable(objActualDays);
  if (remaining && *remaining > 0) {
    // A project with days left but no planned period cannot have a target.
    if (!duration) throw VbError(err::kInvalidNull);
    const double share = (*duration - vb::NumberOf(objActualDays)) / *duration;
    objTargetPercent = vb::FormatNumber(share * 100, 0);
  } else {
    objTargetPercent = std::int16_t{100};
  }

  const std::optional<double> target = Comparable(objTargetPercent);
  if ((target && *target > 100) || vb::TextEquals(objTargetPercent, "")) {
    objTargetPercent = std::int16_t{100};
  } else if (target && *target <= 0) {
    objTargetPercent = std::int16_t{0};
  }

  // The completion cells come second and overwrite target cells they share.
  VarArray& bar = objBarArray.MutableArray();
  ColourCells(bar, objTargetPercent, target_bar_color_);
  ColourCells(bar, objPercentCompleted, actual_bar_color_);
  return Variant();
}

}  // namespace ksmain
