// Shared mechanics of the catalogue members.
#include "catalogue/catalogue_support.h"

#include <array>

#include "data/datalink.h"
#include "frame/app_log.h"
#include "frame/vb_runtime.h"
#include "ksmain/catalogue.h"

namespace ksmain::catalogue {
namespace {

// The cells of a listed entry up to the client, in the order pages have always seen them
// filled: when a field is missing, the cells before it stay written.
constexpr std::array<FieldColumn, 22> kListedEntryHead{{
    {0, "ID"},
    {1, "title"},
    {2, "summary"},
    {15, "bodytext"},
    {16, "Cost"},
    {25, "sale_price"},
    {3, "shipping_cost"},
    {17, "mfg_part_number"},
    {4, "cont_part_number"},
    {23, "cont_part_number"},
    {5, "ImageThumbnail"},
    {24, "image1"},
    {21, "beg_year"},
    {22, "end_year"},
    {6, "link1"},
    {7, "link2"},
    {8, "miscparm1"},
    {9, "miscparm2"},
    {10, "miscparm3"},
    {18, "miscparm4"},
    {19, "miscparm5"},
    {11, "clientID"},
}};
constexpr std::size_t kClientField = 21;
static_assert(kListedEntryHead[kClientField].field == "clientID");
constexpr std::int32_t kSponsorColumn = 20;
constexpr FieldColumn kListedEntryTail{12, "datetimevalue"};

}  // namespace

Variant& InputCell(Variant& array, std::int32_t index) { return array.MutableArray().at({index}); }

std::string FixedConnectionString() {
  // Built once per listed entry (its sponsor look-up): one allocation, not one per part.
  constexpr std::string_view kHead = "uid=sa;pwd=;driver={SQL Server};server=";
  constexpr std::string_view kTail = ";Database=veldaSQL;dsn=,,connection=adConnectAsync";
  const std::string host = data::CatalogueHost();
  std::string text;
  text.reserve(kHead.size() + host.size() + kTail.size());
  text.append(kHead).append(host).append(kTail);
  return text;
}

std::string WithoutHttpPrefix(std::string text) {
  constexpr std::string_view kPrefix = "http://";
  if (text.compare(0, kPrefix.size(), kPrefix) == 0) text.erase(0, kPrefix.size());
  return text;
}

std::string NowText() { return vb::CStr(Variant::FromDate(vb::Now())); }

namespace {

// Head fields, then the client (read again for the sponsor look-up), then the tail.
template <class Read>
void CopyEntry(ResultGrid& grid, std::int32_t row, InsertTable_summary& self, Read read) {
  for (std::size_t i = 0; i < kListedEntryHead.size(); ++i) {
    grid.Set(row, kListedEntryHead[i].column, read(i));
  }
  // An entry without a client has no text to look up, which ends the listing as any
  // other failure does.
  grid.Set(row, kSponsorColumn, self.GetSponsorLevel(vb::CStr(read(kClientField))));
  grid.Set(row, kListedEntryTail.column, read(kListedEntryHead.size()));
}

}  // namespace

void CopyListedEntry(ResultGrid& grid, std::int32_t row, const RecordSource& record,
                     InsertTable_summary& self) {
  CopyEntry(grid, row, self, [&](std::size_t i) {
    return record.Field(i < kListedEntryHead.size() ? kListedEntryHead[i].field
                                                    : kListedEntryTail.field);
  });
}

ListedEntryCopier::ListedEntryCopier() {
  fields_.reserve(kListedEntryHead.size() + 1);
  for (const FieldColumn& f : kListedEntryHead) fields_.emplace_back(f.field);
  fields_.emplace_back(kListedEntryTail.field);
}

void ListedEntryCopier::CopyRow(ResultGrid& grid, std::int32_t row, const RecordSource& record,
                                InsertTable_summary& self) {
  CopyEntry(grid, row, self, [&](std::size_t i) { return fields_[i].Read(record); });
}

void RunInsert(const std::string& strconnect, const std::string& statement,
               std::string_view member) {
  try {
    data::DataLink link(Variant(strconnect), sql::Dialect::TSql);
    link.Run(statement);
    link.Close();
  } catch (const VbError& failure) {
    LogApplicationMessage(std::string(member) + ": " + failure.description());
    throw;
  }
}

}  // namespace ksmain::catalogue
