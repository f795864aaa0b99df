// Class InsertTable_summary: the catalogue service (registration, login, tracking, the
// category tree, listings, search, client details and random images).
#pragma once

#include <string>

#include "ksmain/variant.h"

namespace ksmain {

class InsertTable_summary {
 public:
  // Accepts a year as text and keeps nothing: listings take their year as a parameter.
  void Set_year(const std::string& year);

 private:
  // Set by a year listing, applied by the random images of the same object.
  std::string year_condition_;
};

}  // namespace ksmain
