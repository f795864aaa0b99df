// EncodeUserText: what user text goes through before it is joined into SQL.
//
// The cell is rewritten in place (the page sees its own array cell encoded after the
// call) and the encoded text is returned. The portfolio classes remove apostrophes and
// hashes, turn "&" into " and " and eleven punctuation characters into numeric character
// references; the catalogue class only removes apostrophes, double quotes and bars and
// turns "&" into " and ".
#pragma once

#include "ksmain/variant.h"

namespace ksmain {

enum class EncodeRules { Portfolio, Catalogue };

// Null leaves the cell unchanged and returns Empty (portfolio) or Null (catalogue).
Variant EncodeUserText(Variant& value, EncodeRules rules);

}  // namespace ksmain
