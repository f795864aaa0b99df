// What the KsMaint write members share: reading the page's input array, encoding its
// free-text cells in place, and running the one write statement a member builds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ksmain/variant.h"

namespace ksmain::maint {

// A copy of element `index` of the page's one-dimensional input array. A parameter that
// holds no array raises 13, an array without that element (or with another number of
// dimensions) raises 9, as indexing does in the runtime.
Variant Element(const Variant& arrtest, std::int32_t index);

// Passes element `index` through the portfolio encoding, rewriting the page's own cell,
// and returns the encoded text (a Null cell stays Null and gives "").
std::string EncodeElement(Variant& arrtest, std::int32_t index);

// Opens a DataLink on the caller's connection string, runs one write statement and
// releases the link. An empty statement fails like any statement the engine rejects.
void RunWrite(const Variant& strconnect, std::string_view statement);

}  // namespace ksmain::maint
