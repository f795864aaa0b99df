// SortArray: sorts the rows of a page's column-first array in place, ascending by one
// column, with a diminishing-gap exchange sort (the gap halves from half the row count
// down to 1; at each gap, exchange passes repeat until one exchanges nothing).
//
// The last row never takes part and the last column is never carried along: pages size
// the array one row and one column larger than their data. The comparison is the
// runtime's variant greater-than, so Empty sorts as 0 among numbers, texts sort by
// character codes, Null never moves and equal values are never exchanged.
//
// No error trap: failures reach the page, and rows exchanged before them stay exchanged.
// Exchanges swap the cells directly; the page-sized scratch array that held the two rows
// while they changed places is not needed for that, but an exchange still needs its
// second scratch slot, so a SizeOf2ndArrayVar below 1 fails there as it always did.
#include <limits>
#include <utility>

#include "frame/dispatch_bind.h"
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"

namespace ksmain {
namespace {

constexpr std::int32_t kIntegerMax = std::numeric_limits<std::int16_t>::max();

// The gap and the row indices are 16-bit Integers, as are the column indices of an
// exchange; a value beyond their range overflows.
std::int16_t ToInteger(std::int64_t value) {
  if (value > kIntegerMax || value < std::numeric_limits<std::int16_t>::min())
    throw VbError(err::kOverflow);
  return static_cast<std::int16_t>(value);
}

}  // namespace

void Kestrel::SortArray(ArrayRef DArray, std::int16_t& Element,
                        std::int16_t& SizeOf2ndArrayVar) {
  if (!DArray.value.IsArray()) throw VbError(err::kSubscript);
  VarArray& cells = DArray.value.MutableArray();
  if (cells.dims() != 2) throw VbError(err::kSubscript);
  const std::int32_t columns = cells.bound(0).upper;  // C: the last column stays put
  const std::int32_t rows = cells.bound(1).upper;     // R: the last row takes no part
  const std::int32_t key = Element;

  auto exchange = [&](std::int32_t a, std::int32_t b) {
    if (SizeOf2ndArrayVar < 1) throw VbError(err::kSubscript);
    // The column loop counts in 16 bits; it overflows before the first cell moves.
    if (columns - 1 > kIntegerMax) throw VbError(err::kOverflow);
    for (std::int32_t j = 0; j < columns; ++j) std::swap(cells.at({j, a}), cells.at({j, b}));
  };

  double gap_value = rows;
  for (;;) {
    const std::int16_t gap = ToInteger(static_cast<std::int64_t>(gap_value / 2));
    if (gap < 1) break;
    bool exchanged = true;
    while (exchanged) {
      exchanged = false;
      for (std::int64_t i = 0; i <= std::int64_t{rows} - gap - 1; ++i) {
        const std::int32_t lower = ToInteger(i);
        const std::int32_t upper = ToInteger(i + gap);
        if (vb::SortGreater(cells.at({key, lower}), cells.at({key, upper}))) {
          exchange(lower, upper);
          exchanged = true;
        }
      }
    }
    gap_value = gap;
  }
}

}  // namespace ksmain
