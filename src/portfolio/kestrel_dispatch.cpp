// Kestrel's dispatch interface, in slot order. A member joins the table when it exists.
#include "frame/dispatch_bind.h"
#include "ksmain/kestrel.h"
#include "portfolio/register.h"

namespace ksmain {

void RegisterKestrel() {
  ClassBuilder<Kestrel>(ClassInfo{"Kestrel", "KsMain.Kestrel", "_Kestrel",
                                  "{6F1C2A11-4B7E-4D2A-9C35-0E8B1A7D5301}",
                                  "{6F1C2A12-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .PropertyPut("Set_CustBase", 0x68030002, &Kestrel::Set_CustBase, {"CustBase"})
      .PropertyPut("setProgressBarTarget", 0x68030001, &Kestrel::setProgressBarTarget,
                   {"m_targetcolor"})
      .PropertyPut("setProgressBarActual", 0x68030000, &Kestrel::setProgressBarActual,
                   {"m_actualcolor"})
      .Function("Get_StatusAll", 0x60030008, &Kestrel::Get_StatusAll,
                {"arrtest", "strconnect", "intCount", "sortby"})
      .Function("Get_RankAll", 0x60030009, &Kestrel::Get_RankAll,
                {"arrtest", "strconnect", "intCount", "sortby"})
      .Function("Get_DepartmentAll", 0x60030013, &Kestrel::Get_DepartmentAll,
                {"arrtest", "strconnect", "intCount", "Dsortby"})
      .Function("Get_PriorityAll", 0x60030014, &Kestrel::Get_PriorityAll,
                {"arrtest", "strconnect", "intCount", "Psortby"})
      .Function("Get_TypeAll", 0x60030015, &Kestrel::Get_TypeAll,
                {"arrtest", "strconnect", "intCount", "Psortby"})
      .Register();
}

}  // namespace ksmain
