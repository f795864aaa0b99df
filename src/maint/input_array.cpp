// Input arrays and single-statement writes of the KsMaint members.
#include "maint/input_array.h"

#include "data/datalink.h"
#include "frame/encode.h"
#include "frame/vb_runtime.h"

namespace ksmain::maint {

Variant Element(const Variant& arrtest, std::int32_t index) {
  // Copied out, because encoding a later cell may unshare (and so move) the array.
  return arrtest.AsArray().at({index});
}

std::string EncodeElement(Variant& arrtest, std::int32_t index) {
  if (!arrtest.IsArray()) throw VbError(err::kTypeMismatch);
  Variant& cell = arrtest.MutableArray().at({index});
  return vb::ConcatText(EncodeUserText(cell, EncodeRules::Portfolio));
}

void RunWrite(const Variant& strconnect, std::string_view statement) {
  data::DataLink link(strconnect, sql::Dialect::Jet);
  link.Run(statement);
}

}  // namespace ksmain::maint
