// The catalogue's demonstration data: a parts catalogue filed by make, model family,
// model, system, assembly, component and variant (all seven levels in use), a few hundred
// entries, clients with logins, sponsoring campaigns, page views and scores, and the
// per-place entry counts the category pages sum.
//
// Dates are fixed (expiry far in the future for live rows, in the past for the expired
// ones), so which rows the listings show does not depend on the day the data was made.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "schema/demo_random.h"
#include "schema/schema.h"

namespace ksmain::schema {
namespace {

constexpr int kDemoEntries = 330;
constexpr int kDemoClients = 12;

constexpr std::array kMakes = {"Austin", "Bristol", "Crestline", "Dunmore", "Everly", "Fairway"};
constexpr std::array kFamilies = {"Roadster", "Tourer", "Utility"};
constexpr std::array kSystems = {"Engine", "Brakes", "Suspension", "Electrical"};
constexpr std::array kParts = {"Gasket",     "Filter",   "Pump",     "Bearing", "Sensor",
                               "Hose",       "Bracket",  "Seal kit", "Switch",  "Pad set",
                               "Shock unit", "Manifold", "Relay",    "Belt",    "Mount"};

Variant Day(int year, int month, int day) {
  return Variant::FromDate(vb::DateSerial({year, month, day}));
}

// A place in the tree: the key at each level, 0 where the path stops.
using Place = std::array<std::int32_t, 7>;

struct Tree {
  std::vector<Place> places;  // every node, as its full path
};

// Adds the children of `parent` at `level` (1..6) and recurses. How many children a node
// gets thins out with depth, so the tree is wide at the top and has a few deep branches.
void Grow(data::EngineDatabase& db, Tree& tree, const Place& parent, int level, int& counter) {
  if (level > 6) return;
  const int parent_key = parent[level - 1];
  int children;
  switch (level) {
    case 1: children = 3; break;
    case 2: children = 2; break;
    case 3: children = 2; break;
    case 4: children = parent_key % 2 == 0 ? 1 : 0; break;
    case 5: children = parent_key % 3 == 0 ? 1 : 0; break;
    default: children = parent_key % 2 == 0 ? 1 : 0; break;
  }
  const std::string table = "subcategory" + std::to_string(level);
  for (int c = 0; c < children; ++c) {
    std::string name;
    switch (level) {
      case 1: name = kFamilies[c]; break;
      case 2: name = "Series " + std::to_string(c + 1) + " (" + std::to_string(parent_key) + ")"; break;
      case 3: name = kSystems[(parent_key + c) % kSystems.size()]; break;
      case 4: name = "Assembly " + std::to_string(++counter); break;
      case 5: name = "Component " + std::to_string(++counter); break;
      default: name = "Variant " + std::to_string(++counter); break;
    }
    db.Run("INSERT INTO " + table + " (" + table + ", LinkID) VALUES (?, ?)",
           {Variant(name), Variant(parent_key)});
    Place child = parent;
    child[level] = static_cast<std::int32_t>(db.LastInsertId());
    tree.places.push_back(child);
    Grow(db, tree, child, level + 1, counter);
  }
}

Tree FillTree(data::EngineDatabase& db) {
  Tree tree;
  int counter = 0;
  for (const char* make : kMakes) {
    db.Run("INSERT INTO category (category) VALUES (?)", {Variant(make)});
    Place place{};
    place[0] = static_cast<std::int32_t>(db.LastInsertId());
    tree.places.push_back(place);
    Grow(db, tree, place, 1, counter);
  }
  return tree;
}

void FillClients(data::EngineDatabase& db) {
  const char* companies[] = {"Acme Motors",   "Beacon Parts",  "Cobalt Supply", "Delta Spares",
                             "Eastside Auto", "Fenwick & Co",  "Granite Trade", "Harbor Parts",
                             "Ironwood Ltd",  "Juniper Works", "Keystone Mfg",  "Lakeside Depot"};
  for (int i = 0; i < kDemoClients; ++i) {
    const std::string n = std::to_string(i + 1);
    // Client 11's registration has expired; client 12 is inactive.
    Variant expires = i == 10 ? Day(2024, 6, 30) : Day(2099, 12, 31);
    db.Run(
        "INSERT INTO clients (surname, firstname, lastname, companyname, address1, address2, city, "
        "state, zipcode, province, country, phone, fax, email, weburl, username, password, "
        "passwordhint, passwordanswer, expiredate, activeind, DateTimeValue, image, image_large, "
        "miscparm1, miscparm2, miscparm3) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {Variant(i % 2 ? "Ms" : "Mr"), Variant("First" + n), Variant("Last" + n),
         Variant(companies[i]), Variant(n + " Market Street"), Variant(""), Variant("Springfield"),
         Variant("IL"), Variant("627" + std::to_string(10 + i)), Variant(""), Variant("USA"),
         Variant("555-01" + std::to_string(10 + i)), Variant(""),
         Variant("client" + n + "@example.com"), Variant("www.client" + n + ".example.com"),
         Variant("client" + n), Variant("Secret" + n), Variant("Favourite colour"),
         Variant("Blue"), expires, Variant(i == 11 ? "N" : "Y"),
         Variant::FromDate(vb::DateSerial({2025, 1 + i % 12, 1 + i, 9, 30, 0})),
         Variant("logo" + n + ".gif"), Variant("logo" + n + "_large.gif"), Variant(""),
         Variant(""), Variant("")});
  }
  // Sponsors: level-3 campaigns running, one finished, one switched off, one lower level.
  struct Campaign {
    int client, level;
    Variant begins, ends;
    const char* active;
  };
  const Campaign campaigns[] = {
      {1, 3, Day(2020, 1, 1), Day(2099, 12, 31), "Y"}, {2, 3, Day(2020, 1, 1), Day(2099, 12, 31), "Y"},
      {3, 3, Day(2020, 1, 1), Day(2024, 12, 31), "Y"}, {4, 3, Day(2020, 1, 1), Day(2099, 12, 31), "N"},
      {5, 2, Day(2020, 1, 1), Day(2099, 12, 31), "Y"}, {6, 3, Day(2090, 1, 1), Day(2099, 12, 31), "Y"},
  };
  for (const Campaign& c : campaigns) {
    db.Run("INSERT INTO campaigns (clientID, Camplevel, begindate, enddate, activeind, description) "
           "VALUES (?, ?, ?, ?, ?, ?)",
           {Variant(c.client), Variant(static_cast<std::int16_t>(c.level)), c.begins, c.ends,
            Variant(c.active), Variant("Campaign of client " + std::to_string(c.client))});
  }
}

void FillEntries(data::EngineDatabase& db, const Tree& tree, DemoRandom& rng) {
  for (int i = 1; i <= kDemoEntries; ++i) {
    // Entries are filed below the model level (a model or deeper), as the pages file them.
    const Place* place;
    do {
      place = &tree.places[rng.Below(tree.places.size())];
    } while ((*place)[2] == 0);
    // Levels below the entry's place hold 0, as the pages file them: the search's
    // "like '%'" conditions on every level match a stored key, never a NULL.
    Variant keys[7];
    for (int l = 0; l < 7; ++l) keys[l] = Variant((*place)[l]);
    const std::string part = kParts[rng.Below(kParts.size())];
    const int beg_year = 1995 + rng.Below(26);
    const int end_year = beg_year + rng.Below(11);
    const std::int64_t cost = 500 + rng.Below(30000);  // cents
    // Every 23rd entry has expired and every 29th is switched off: listings leave them out.
    Variant expires = i % 23 == 0 ? Day(2023, 3, 31) : Day(2099, 12, 31);
    const char* active = i % 29 == 0 ? "N" : "Y";
    const bool has_image = rng.Below(5) != 0;
    std::vector<Variant> row = {
        keys[0], keys[1], keys[2], keys[3], keys[4], keys[5], keys[6],
        Variant(part + " " + std::to_string(i)),
        Variant("Replacement " + vb::LCase(part) + " for " + std::to_string(beg_year) + "-" +
                std::to_string(end_year) + " models."),
        Variant("Fits models from " + std::to_string(beg_year) + " to " +
                std::to_string(end_year) + ". Supplied with fitting instructions."),
        Variant::FromCurrency(cost * 100),
        Variant::FromCurrency(std::int64_t{500 + 100 * rng.Below(20)} * 100),
        Variant::FromCurrency(cost * 90),
        Variant("CP-" + std::to_string(10000 + i)),
        Variant("MFG-" + std::to_string(50000 + 7 * i)),
        Variant(has_image ? "thumbs/part" + std::to_string(i) + ".jpg" : ""),
        Variant(has_image ? "images/part" + std::to_string(i) + ".jpg" : ""),
        Variant(static_cast<std::int16_t>(beg_year)),
        Variant(static_cast<std::int16_t>(end_year)),
        Variant("www.example.com/parts/" + std::to_string(i)), Variant(""),
        Variant(""), Variant(""), Variant(""), Variant(""), Variant(""),
        expires, Variant(active), Variant(1 + rng.Below(kDemoClients)),
        Variant::FromDate(vb::DateSerial({2025, 1 + i % 12, 1 + i % 28, 8 + i % 10, i % 60, 0})),
        Variant(i % 5 == 0 ? "Y" : "N"),
    };
    db.Run(
        "INSERT INTO entries (CategoryId, SubcategoryId1, SubcategoryId2, SubcategoryId3, "
        "SubcategoryId4, SubcategoryId5, SubcategoryId6, Title, Summary, BodyText, Cost, "
        "shipping_cost, sale_price, cont_part_number, mfg_part_number, ImageThumbnail, Image1, "
        "beg_year, end_year, Link1, Link2, MiscParm1, MiscParm2, MiscParm3, MiscParm4, MiscParm5, "
        "ExpireDate, ActiveInd, clientID, DateTimeValue, Level1PromotionFlag) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        row);
  }
  // The counts per place that the category pages sum, consistent with the entries above.
  db.Run(
      "INSERT INTO entrycounts (entrycnt, categoryid, subcategoryid1, subcategoryid2, "
      "subcategoryid3, subcategoryid4, subcategoryid5, subcategoryid6) "
      "SELECT count(*), CategoryId, SubcategoryId1, SubcategoryId2, SubcategoryId3, "
      "SubcategoryId4, SubcategoryId5, SubcategoryId6 FROM entries "
      "GROUP BY 2, 3, 4, 5, 6, 7, 8 ORDER BY 2, 3, 4, 5, 6, 7, 8");
}

void FillTraffic(data::EngineDatabase& db, DemoRandom& rng) {
  for (int v = 0; v < 600; ++v) {
    const int article = 1 + rng.Below(kDemoEntries);
    db.Run("INSERT INTO navigation (address, pagename, articleID, DateTimeValue) VALUES (?, ?, ?, ?)",
           {Variant("10.0." + std::to_string(rng.Below(8)) + "." + std::to_string(1 + rng.Below(250))),
            Variant(rng.Below(3) == 0 ? "search.asp" : "entry.asp"), Variant(article),
            Variant::FromDate(vb::DateSerial({2025, 1 + rng.Below(12), 1 + rng.Below(28),
                                              rng.Below(24), rng.Below(60), rng.Below(60)}))});
  }
  for (int s = 0; s < 200; ++s) {
    db.Run("INSERT INTO effectiveness (articleID, Score, DateTimeValue) VALUES (?, ?, ?)",
           {Variant(1 + rng.Below(kDemoEntries)), Variant(1 + rng.Below(5)),
            Variant::FromDate(vb::DateSerial({2025, 1 + rng.Below(12), 1 + rng.Below(28),
                                              rng.Below(24), rng.Below(60), 0}))});
  }
}

}  // namespace

void FillCatalogueDemo(data::EngineDatabase& db) {
  DemoRandom rng(19950101);
  const Tree tree = FillTree(db);
  FillClients(db);
  FillEntries(db, tree, rng);
  FillTraffic(db, rng);
}

}  // namespace ksmain::schema
