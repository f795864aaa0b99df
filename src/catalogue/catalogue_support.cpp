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
constexpr std::int32_t kSponsorColumn = 20;
constexpr FieldColumn kListedEntryTail{12, "datetimevalue"};

}  // namespace

Variant& InputCell(Variant& array, std::int32_t index) { return array.MutableArray().at({index}); }

std::string FixedConnectionString() {
  return "uid=sa;pwd=;driver={SQL Server};server=" + data::CatalogueHost() +
         ";Database=veldaSQL;dsn=,,connection=adConnectAsync";
}

std::string WithoutHttpPrefix(std::string text) {
  constexpr std::string_view kPrefix = "http://";
  if (text.compare(0, kPrefix.size(), kPrefix) == 0) text.erase(0, kPrefix.size());
  return text;
}

std::string NowText() { return vb::CStr(Variant::FromDate(vb::Now())); }

void CopyListedEntry(ResultGrid& grid, std::int32_t row, const RecordSource& record,
                     InsertTable_summary& self) {
  for (const FieldColumn& f : kListedEntryHead) grid.Set(row, f.column, record.Field(f.field));
  // An entry without a client has no text to look up, which ends the listing as any
  // other failure does.
  grid.Set(row, kSponsorColumn, self.GetSponsorLevel(vb::CStr(record.Field("clientID"))));
  grid.Set(row, kListedEntryTail.column, record.Field(kListedEntryTail.field));
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
