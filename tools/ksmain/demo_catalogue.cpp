// The catalogue pages of the demo: walking the category tree, the entry list of the place
// reached, the three search modes, a client's login, a page view and the image strip.
#include <algorithm>
#include <array>
#include <ostream>

#include "demo_page.h"
#include "frame/vb_runtime.h"

namespace ksmain::tool::demo {
namespace {

// The place in the tree a visitor has reached: category, then subcategories 1 to 6.
using Place = std::array<std::string, 7>;

std::vector<Variant> PlaceArgs(const Place& place, int levels) {
  std::vector<Variant> keys;
  for (int l = 0; l < levels; ++l) keys.emplace_back(place[l]);
  return keys;
}

// Get_Categories level by level, always stepping into the first child listed, as far
// as the tree goes. Returns the place reached.
Place WalkTree(Page& page, const Session& s) {
  page.Heading("Category tree (children with their entry counts; the first one is opened)");
  Place place;
  for (int level = 0; level <= 5; ++level) {
    std::vector<Variant> args{Variant(), Variant(s.catalogue), Variant()};
    for (Variant& key : PlaceArgs(place, 7)) args.push_back(std::move(key));
    page.Call("Get_Categories", args);
    const Variant count = Cell(args[0], Layout::RowFirst, 0, 0);
    page.out() << "  level " << level << ": ";
    if (count.IsEmpty()) {
      page.out() << "(the call did not finish)\n";
      break;
    }
    const int rows = vb::CInt(count);
    if (rows == 0) {
      page.out() << "(nothing filed below)\n";
      break;
    }
    for (int r = 1; r <= rows && r <= 5; ++r) {
      page.out() << (r > 1 ? ", " : "") << Shown(Cell(args[0], Layout::RowFirst, r, 1)) << " ("
                 << Shown(Cell(args[0], Layout::RowFirst, r, 2)) << ")";
    }
    if (rows > 5) page.out() << ", ... " << rows - 5 << " more";
    page.out() << "\n";
    place[level] = vb::CStr(Cell(args[0], Layout::RowFirst, 1, 0));
  }
  return place;
}

// The entry list of a model (category, family, model), with the sponsor flags. Returns
// the first entry listed.
Variant ShowEntries(Page& page, const Session& s, const Place& place) {
  std::vector<Variant> args{Variant(), Variant(s.catalogue), Variant()};
  Place model{place[0], place[1], place[2]};
  for (Variant& key : PlaceArgs(model, 7)) args.push_back(std::move(key));
  args.emplace_back("");  // level: not used by this listing
  args.emplace_back("");  // year: any
  page.Call("Get_entriesList", args);
  page.Heading("Entries of the model reached (" + place[0] + "/" + place[1] + "/" + place[2] + ")");
  page.out() << "  connection string written back: " << Shown(args[1]) << "\n";
  const Variant counter = Cell(args[0], Layout::RowFirst, 0, 0);
  if (counter.IsEmpty()) {
    page.out() << "  (the call did not finish)\n";
    return {};
  }
  // The header holds the row counter itself: one more than the rows written.
  const int rows = std::max(0, vb::CInt(counter) - 1);
  page.out() << "  " << rows << " entr" << (rows == 1 ? "y" : "ies") << "\n";
  if (rows > 0) {
    page.ShowRows(args[0], Layout::RowFirst,
                  {{0, "ID", 5}, {1, "title", 16}, {16, "cost", 9}, {25, "sale", 9},
                   {21, "years", 6}, {22, "", 6}, {11, "client", 7}, {20, "sponsor", 7}},
                  1, rows, 5);
  }
  return Cell(args[0], Layout::RowFirst, 1, 0);
}

// Searches the whole catalogue: the level filters are `like` patterns, which an entry's
// Null key for a level it is not filed to never matches, so the search finds only the
// entries filed down to the fifth subcategory, wherever they are.
void ShowSearches(Page& page, const Session& s) {
  page.Heading("Search in the whole catalogue (titles, sorted by title)");
  struct Mode {
    const char* specs;
    const char* name;
    const char* words;
  };
  for (const Mode& m : {Mode{"1", "any word", "pump filter"}, Mode{"2", "all words", "seal kit"},
                        Mode{"3", "phrase", "Shock unit 1"}}) {
    // The page sizes the array; the search only writes into it.
    std::vector<Variant> args{Variant(VarArray::Grid(250, 25)), Variant(s.catalogue), Variant()};
    for (int l = 0; l < 6; ++l) args.emplace_back("");
    args.emplace_back(m.words);
    args.emplace_back("");  // year
    args.emplace_back(m.specs);
    args.emplace_back("");  // sort
    page.Call("Get_SimpleSearch", args);
    const Variant count = Cell(args[0], Layout::RowFirst, 0, 0);
    page.out() << "  " << m.name << " \"" << m.words << "\": ";
    if (count.IsEmpty()) {
      page.out() << "(the call did not finish)\n";
      continue;
    }
    const int rows = vb::CInt(count);
    page.out() << (rows < 0 ? 0 : rows) << " found";
    for (int r = 1; r <= rows && r <= 4; ++r) {
      page.out() << (r > 1 ? ", " : ": ") << Shown(Cell(args[0], Layout::RowFirst, r, 1));
      if (vb::TextEquals(Cell(args[0], Layout::RowFirst, r, 20), "Y")) page.out() << " (sponsor)";
    }
    page.out() << (rows > 4 ? ", ..." : "") << "\n";
  }
}

void ShowLogins(Page& page, const Session& s) {
  page.Heading("Client login");
  struct Attempt {
    const char* user;
    const char* password;
    const char* answer;
  };
  for (const Attempt& a : {Attempt{"client1", "Secret1", ""}, Attempt{"client1", "secret", ""},
                           Attempt{"client11", "Secret11", ""}, Attempt{"client12", "Secret12", ""},
                           Attempt{"client1", "", "blue"}, Attempt{"client1", "", ""}}) {
    std::vector<Variant> args{
        Variant(VarArray::Of({Variant(""), Variant(a.user), Variant(a.password), Variant(""),
                              Variant(a.answer), Variant(""), Variant("")})),
        Variant(s.catalogue), Variant("")};
    page.Call("ValidateClientLogin", args);
    std::string form = std::string(a.user) + " / " + (*a.password ? a.password : "(no password)");
    if (*a.answer) form += ", answer " + std::string(a.answer);
    form.resize(std::max<std::size_t>(form.size(), 34), ' ');
    page.out() << "  " << form << " -> \"" << Shown(args[2]) << "\"\n";
  }
}

// Views of one entry, as the entry page shows them: today and in all.
std::string Views(Page& page, const Session& s, const Variant& entry) {
  std::vector<Variant> args{Variant(), Variant(s.catalogue), Variant(), Variant(vb::ConcatText(entry))};
  page.Call("Get_entriespecific", args);
  if (Cell(args[0], Layout::RowFirst, 0, 0).IsEmpty()) return "(the call did not finish)";
  return Shown(Cell(args[0], Layout::RowFirst, 1, 13)) + " today, " +
         Shown(Cell(args[0], Layout::RowFirst, 1, 14)) + " in all";
}

void ShowPageView(Page& page, const Session& s, const Variant& entry) {
  page.Heading("A page view of entry " + Shown(entry));
  const std::string before = Views(page, s, entry);
  std::vector<Variant> args{
      Variant(VarArray::Of({Variant("http://www.example.com/parts/" + Shown(entry)),
                            Variant("entry.asp"), Variant(vb::ConcatText(entry))})),
      Variant(s.catalogue), Variant("")};
  page.Call("InsertNavigation", args);
  page.out() << "  RC: " << Shown(args[2]) << "\n"
             << "  views before: " << before << "; after: " << Views(page, s, entry) << "\n";
}

void ShowRandomImages(Page& page, const Session& s, const Place& place) {
  std::vector<Variant> args{Variant(), Variant(s.catalogue)};
  Place category{place[0]};
  for (Variant& key : PlaceArgs(category, 7)) args.push_back(std::move(key));
  page.Call("GetRandomImages", args);
  page.Heading("Random images of category " + place[0]);
  const Variant last = Cell(args[0], Layout::ColumnFirst, 0, 0);
  if (last.IsEmpty()) {
    page.out() << "  (the call did not finish)\n";
    return;
  }
  const int n = vb::CInt(last);
  page.out() << "  " << n + 1 << " picture(s), stride "
             << Shown(Cell(args[0], Layout::ColumnFirst, 1, 0)) << "\n";
  page.ShowRows(args[0], Layout::ColumnFirst, {{1, "ID", 5}, {2, "title", 16}, {12, "image", 22}},
                0, n, 5);
}

}  // namespace

void CatalogueSection(std::ostream& out, Session& s) {
  Page page(out, "KsMain.InsertTable_summary");
  const Place place = WalkTree(page, s);
  if (place[0].empty()) return;
  Variant entry = ShowEntries(page, s, place);
  ShowSearches(page, s);
  ShowLogins(page, s);
  if (entry.IsEmpty()) entry = Variant(1);
  ShowPageView(page, s, entry);
  ShowRandomImages(page, s, place);
}

}  // namespace ksmain::tool::demo
