// Class InsertTable_summary: the catalogue service (registration, login, tracking, the
// category tree, listings, search, client details and random images).
//
// One function per page action, each a complete request on its own connection. Keys of the
// category tree travel as text; "" means a level not chosen. The write members and the
// login hand back their statement or outcome in RC; the query members fill result grids in
// the caller's variable. Every function returns Empty unless noted.
#pragma once

#include <string>

#include "ksmain/variant.h"

namespace ksmain {

class InsertTable_summary {
 public:
  // Accepts a year as text and keeps nothing: listings take their year as a parameter.
  void Set_year(const std::string& year);

  // ---- Registration: RC receives the INSERT statement just before it runs ----
  Variant Insertentries(Variant& arrTable, const std::string& strconnect, Variant& RC);
  Variant InsertClients(Variant& arrTable, const std::string& strconnect, Variant& RC);

  // ---- Login: RC receives "OK", "PASSWORDANSWEROK", the hint or a message ----
  Variant ValidateClientLogin(Variant& arrTable, const std::string& strconnect, Variant& RC);

  // ---- Tracking: page views and scores ----
  Variant InsertNavigation(Variant& arrTable, const std::string& strconnect, Variant& RC);
  Variant InsertEffectiveness(Variant& arrTable, const std::string& strconnect, Variant& RC);

  // ---- Category tree ----
  // The children of the node reached, those with entries filed under them only; intCount
  // ends holding the count of the last child read.
  Variant Get_Categories(Variant& arrtest, Variant& strconnect, Variant& intCount,
                         const std::string& cat, const std::string& sub1,
                         const std::string& sub2, const std::string& sub3,
                         const std::string& sub4, const std::string& sub5,
                         const std::string& sub6);

  // ---- Listings (fixed connection string, written back into strconnect) ----
  Variant Get_entriesList_LEVEL(Variant& arrtest, Variant& strconnect, Variant& intCount,
                                const std::string& cat, const std::string& sub1,
                                const std::string& sub2, const std::string& sub3,
                                const std::string& sub4, const std::string& sub5,
                                const std::string& sub6, const std::string& levelind,
                                const std::string& inputyear);
  // Also remembers a non-empty year for the random images of this object.
  Variant Get_entriesList(Variant& arrtest, Variant& strconnect, Variant& intCount,
                          const std::string& cat, const std::string& sub1,
                          const std::string& sub2, const std::string& sub3,
                          const std::string& sub4, const std::string& sub5,
                          const std::string& sub6, const std::string& levelind,
                          const std::string& inputyear);
  // "Y" when the client has an active level-3 campaign running now, else "N". No trap.
  Variant GetSponsorLevel(const std::string& clientID);
  Variant Get_entriespecific(Variant& arrtest, Variant& strconnect, Variant& intCount,
                             const std::string& artID);
  // The precomputed number of entries under a place of the tree, into intCount.
  Variant Count_entries_Per_Categories(Variant& strconnect, Variant& intCount,
                                       const std::string& cat, const std::string& sub1,
                                       const std::string& sub2, const std::string& sub3,
                                       const std::string& sub4, const std::string& sub5,
                                       const std::string& sub6);

  // ---- Search: fills the caller's own array; failures go to the application log ----
  Variant Get_SimpleSearch(Variant& arrtest, Variant& strconnect, Variant& intCount,
                           const std::string& cat, const std::string& sub1,
                           const std::string& sub2, const std::string& sub3,
                           const std::string& sub4, const std::string& sub5,
                           const std::string& criteria, const std::string& year,
                           const std::string& specs, const std::string& sortby);
  Variant Get_SimpleSearchCategories(Variant& arrtest, Variant& strconnect, Variant& intCount,
                                     const std::string& cat, const std::string& sub1,
                                     const std::string& sub2, const std::string& sub3,
                                     const std::string& criteria, const std::string& year,
                                     const std::string& specs, const std::string& sortby);

  // ---- Names, client details and images ----
  // The display name of a tree node ("Not Found" for an unknown key). No trap.
  Variant GetCategoryName(Variant& CategoryName, Variant& categoryID, Variant& strconnect);
  // No trap.
  Variant GetClientInfo(Variant& arrtest, Variant& clientID, Variant& strconnect);
  // Returns the logo file name, "noimage.jpg" for a client not on file. No trap.
  Variant GetClientLOGO(Variant& clientID, Variant& strconnect);
  Variant GetRandomImages(Variant& arrTable, const std::string& strconnect,
                          const std::string& cat, const std::string& sub1,
                          const std::string& sub2, const std::string& sub3,
                          const std::string& sub4, const std::string& sub5,
                          const std::string& sub6);

 private:
  // The catalogue rule set, rewriting the caller's cell in place.
  Variant EncodeUserText(Variant& value);
  // Page views of an entry today and in all, into `count`. No trap: a failure reaches the
  // entry detail that asked.
  Variant CountNavigationToday(Variant& count, Variant& articleID, Variant& strconnect);
  Variant CountNavigationAll(Variant& count, Variant& articleID, Variant& strconnect);

  // Set by a year listing, applied by the random images of the same object.
  std::string year_condition_;
};

}  // namespace ksmain
