// What the project list does to each row after copying its fields, done the same way on the
// raw side of every project-list benchmark: the bar graph from the row's dates and
// completion, joined into one cell, and its target colour beside it. The raw side must pay
// for the same copies as the member, or the ratio would flatter the engine.
#pragma once

#include <cstdint>
#include <string>

#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"
#include "ksmain/variant.h"

namespace ksmain::bench {

// Fills columns 12 and 13 of row `row` of a row-first project grid from its columns 5, 7, 8
// and 10; `bar` and `target` are scratch variables kept across rows.
inline void FillProjectBar(Kestrel& k, VarArray& cells, std::int32_t row, Variant& bar, Variant& target) {
  Variant est_completed = cells.at({row, 7});
  const Variant& act_completed = cells.at({row, 10});
  Variant remaining = Variant::Null();
  if (!est_completed.IsNull()) {
    const double from = act_completed.IsNull() ? vb::Now() : act_completed.AsDate();
    remaining = vb::DateDiffDays(from, est_completed.AsDate());
  }
  Variant percent = cells.at({row, 5}), started = cells.at({row, 8});
  k.CalcHorizontalBarGraphs(bar, remaining, percent, started, est_completed, target);
  std::string joined;
  for (std::int32_t c = 0; c <= 10; ++c) {
    if (c > 0) joined += ',';
    joined += vb::ConcatText(bar.AsArray().at({c}));
  }
  cells.at({row, 12}) = std::move(joined);
  cells.at({row, 13}) = target;
}

}  // namespace ksmain::bench
