// What several catalogue members share: the cells of a page's input array, the fixed
// connection string of the listings, the "http://" rule for stored addresses, the
// date-and-time text the write statements carry, and the cells of a listed entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/record_source.h"
#include "frame/result_grid.h"
#include "ksmain/variant.h"

namespace ksmain {

class InsertTable_summary;

namespace catalogue {

// Element `index` of the one-dimensional array the page passed, as the caller's own cell.
// Not an array raises 13; another shape or a missing index raises 9.
Variant& InputCell(Variant& array, std::int32_t index);

// The listings' own connection string; its host is the deployment's catalogue host.
std::string FixedConnectionString();

// Addresses are stored without a leading "http://" (exact case); "HTTP://" and the secure
// scheme's prefix stay.
std::string WithoutHttpPrefix(std::string text);

// The current local date and time as the write statements carry it (m/d/yyyy h:mm:ss AM).
std::string NowText();

// Runs a registration or tracking INSERT on the page's connection. The member has already
// handed the statement back in RC, so a page cannot tell a failed write (a full disk, a
// missing table) from a stored one; the failure goes to the application log, named by
// `member`, before it ends the member.
void RunInsert(const std::string& strconnect, const std::string& statement,
               std::string_view member);

// Copies one listed entry into `row` in the cells every listing and the entry search use,
// column 20 holding the sponsor flag of the entry's client.
void CopyListedEntry(ResultGrid& grid, std::int32_t row, const RecordSource& record,
                     InsertTable_summary& self);

// The same for every entry of one recordset: its fields are found by name on the first
// entry copied and by position after it (a missing field fails where CopyListedEntry
// would, after the cells before it were written).
class ListedEntryCopier {
 public:
  ListedEntryCopier();
  void CopyRow(ResultGrid& grid, std::int32_t row, const RecordSource& record,
               InsertTable_summary& self);

 private:
  std::vector<RecordField> fields_;  // the head's, then the tail's
};

}  // namespace catalogue
}  // namespace ksmain
