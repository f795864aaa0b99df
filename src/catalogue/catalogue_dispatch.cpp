// InsertTable_summary's dispatch interface, in slot order.
#include "catalogue/register.h"
#include "frame/dispatch_bind.h"
#include "ksmain/catalogue.h"

namespace ksmain {

void InsertTable_summary::Set_year(const std::string&) {}

void RegisterInsertTableSummary() {
  ClassBuilder<InsertTable_summary>(
      ClassInfo{"InsertTable_summary", "KsMain.InsertTable_summary", "_InsertTable_summary",
                "{6F1C2A13-4B7E-4D2A-9C35-0E8B1A7D5301}",
                "{6F1C2A14-4B7E-4D2A-9C35-0E8B1A7D5301}", {}})
      .PropertyPut("Set_year", 0x68030000, &InsertTable_summary::Set_year, {"year"})
      .Function("Insertentries", 0x60030001, &InsertTable_summary::Insertentries,
                {"arrTable", "strconnect", "RC"})
      .Function("InsertClients", 0x60030002, &InsertTable_summary::InsertClients,
                {"arrTable", "strconnect", "RC"})
      .Function("ValidateClientLogin", 0x60030003, &InsertTable_summary::ValidateClientLogin,
                {"arrTable", "strconnect", "RC"})
      .Function("InsertNavigation", 0x60030004, &InsertTable_summary::InsertNavigation,
                {"arrTable", "strconnect", "RC"})
      .Function("InsertEffectiveness", 0x60030005, &InsertTable_summary::InsertEffectiveness,
                {"arrTable", "strconnect", "RC"})
      .Function("Get_Categories", 0x60030006, &InsertTable_summary::Get_Categories,
                {"arrtest", "strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "sub4", "sub5",
                 "sub6"})
      .Function("Get_entriesList_LEVEL", 0x60030007, &InsertTable_summary::Get_entriesList_LEVEL,
                {"arrtest", "strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "sub4", "sub5",
                 "sub6", "levelind", "inputyear"})
      .Function("Get_entriesList", 0x60030008, &InsertTable_summary::Get_entriesList,
                {"arrtest", "strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "sub4", "sub5",
                 "sub6", "levelind", "inputyear"})
      .Function("GetSponsorLevel", 0x60030009, &InsertTable_summary::GetSponsorLevel, {"clientID"})
      .Function("Get_entriespecific", 0x6003000a, &InsertTable_summary::Get_entriespecific,
                {"arrtest", "strconnect", "intCount", "artID"})
      .Function("Count_entries_Per_Categories", 0x6003000b,
                &InsertTable_summary::Count_entries_Per_Categories,
                {"strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "sub4", "sub5", "sub6"})
      .Function("Get_SimpleSearch", 0x6003000c, &InsertTable_summary::Get_SimpleSearch,
                {"arrtest", "strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "sub4", "sub5",
                 "criteria", "year", "specs", "sortby"})
      .Function("Get_SimpleSearchCategories", 0x6003000d,
                &InsertTable_summary::Get_SimpleSearchCategories,
                {"arrtest", "strconnect", "intCount", "cat", "sub1", "sub2", "sub3", "criteria",
                 "year", "specs", "sortby"})
      .Function("GetCategoryName", 0x60030010, &InsertTable_summary::GetCategoryName,
                {"CategoryName", "categoryID", "strconnect"})
      .Function("GetClientInfo", 0x60030011, &InsertTable_summary::GetClientInfo,
                {"arrtest", "clientID", "strconnect"})
      .Function("GetClientLOGO", 0x60030012, &InsertTable_summary::GetClientLOGO,
                {"clientID", "strconnect"})
      .Function("GetRandomImages", 0x60030013, &InsertTable_summary::GetRandomImages,
                {"arrTable", "strconnect", "cat", "sub1", "sub2", "sub3", "sub4", "sub5", "sub6"})
      .Register();
}

}  // namespace ksmain
