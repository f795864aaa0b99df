// The write-only settings of a Kestrel object: the two bar colours (kept for the bar
// graphs of every later call on the object) and the customer base (accepted, not kept).
#include "frame/vb_runtime.h"
#include "ksmain/kestrel.h"

namespace ksmain {

void Kestrel::Set_CustBase(const std::string&) {}

void Kestrel::setProgressBarTarget(const Variant& m_targetcolor) {
  target_bar_color_ = vb::CStr(m_targetcolor);
}

void Kestrel::setProgressBarActual(const Variant& m_actualcolor) {
  actual_bar_color_ = vb::CStr(m_actualcolor);
}

}  // namespace ksmain
