// KsMaint's dispatch interface, in slot order. A member joins the table when it exists.
#include "frame/dispatch_bind.h"
#include "ksmain/ksmaint.h"
#include "maint/register.h"

namespace ksmain {

void RegisterKsMaint() {
  ClassBuilder<KsMaint>(ClassInfo{"KsMaint", "KsMain.KsMaint", "_KsMaint",
                                  "{6F1C2A15-4B7E-4D2A-9C35-0E8B1A7D5301}",
                                  "{6F1C2A16-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .Register();
}

}  // namespace ksmain
