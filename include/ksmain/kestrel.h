// Class Kestrel: the read side of the project portfolio and its resource maintenance.
//
// One function per page action. By-reference parameters are the caller's own variables:
// the member replaces result grids there, writes defaults back into empty sort texts and
// leaves what it wrote before a failure. Every function returns Empty unless noted.
#pragma once

#include <string>

#include "ksmain/variant.h"

namespace ksmain {

class Kestrel {
 public:
  // ---- Settings (property puts) ----
  // Accepts a customer base name and keeps nothing.
  void Set_CustBase(const std::string& CustBase);
  // The colours of the target and actual bars of the bar graphs.
  void setProgressBarTarget(const Variant& m_targetcolor);
  void setProgressBarActual(const Variant& m_actualcolor);

  // ---- Lookup lists ----
  Variant Get_StatusAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& sortby);
  Variant Get_RankAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& sortby);
  Variant Get_DepartmentAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                            Variant& Dsortby);
  Variant Get_PriorityAll(Variant& arrtest, Variant& strconnect, Variant& intCount,
                          Variant& Psortby);
  Variant Get_TypeAll(Variant& arrtest, Variant& strconnect, Variant& intCount, Variant& Psortby);

 private:
  std::string target_bar_color_;
  std::string actual_bar_color_;
};

}  // namespace ksmain
