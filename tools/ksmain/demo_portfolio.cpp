// The portfolio pages of the demo: the project list with its progress bars, the Gantt
// view, one project's detail, steps and history; a save of the project form with a move
// on the Gantt chart and a meeting, read back; and the reports.
#include <algorithm>
#include <optional>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "demo_page.h"
#include "frame/vb_runtime.h"

namespace ksmain::tool::demo {
namespace {

// The two bar colours as the list page sets them: the reported completion, and how far
// the plan says the project should be by now.
constexpr const char* kActualColour = "#";
constexpr const char* kTargetColour = "=";

// The period the Gantt page and the period report look at; the demo projects run from
// early 2025 into 2027, so a half year in the middle holds a good number of them.
constexpr const char* kRangeStart = "1/1/2026";
constexpr const char* kRangeEnd = "6/30/2026";

// A meeting recorded by the save-and-reload round.
constexpr const char* kMeetingPlanned = "11/30/2026";
constexpr const char* kMeetingHeld = "12/2/2026";

std::optional<double> DateOf(const Variant& v) {
  if (v.kind() == VarKind::Date) return v.AsDate();
  if (v.IsEmpty() || v.IsNull() || !vb::IsDate(v)) return std::nullopt;
  return vb::CDate(v);
}

std::string Padded(std::string text, int width) {
  if (static_cast<int>(text.size()) >= width) text = text.substr(0, width - 2) + "~";
  text.resize(width, ' ');
  return text;
}

// Column 12 of the project list: the eleven bar cells joined with ",", cell 0 unused.
// Drawn as the page's table cells would look: one character per tenth.
std::string Bar(const Variant& joined) {
  std::string cells;
  std::stringstream in(Shown(joined));
  std::string cell;
  for (int k = 0; std::getline(in, cell, ','); ++k) {
    if (k == 0) continue;
    cells += cell.empty() ? ' ' : cell[0];
  }
  cells.resize(10, ' ');
  return "[" + cells + "]";
}

// A text timeline of one period over the Gantt range, four cells a month.
std::string Timeline(const Variant& start, const Variant& end, double from, double to) {
  constexpr int kCells = 24;
  const auto s = DateOf(start), e = DateOf(end);
  std::string line(kCells, '.');
  if (!s || !e) return line;
  const double step = (to - from + 1) / kCells;
  for (int i = 0; i < kCells; ++i) {
    const double cell_from = from + i * step, cell_to = cell_from + step;
    if (*s < cell_to && *e >= cell_from) line[i] = '#';
  }
  return line;
}

void ShowLookups(Page& page, const Session& s) {
  std::vector<Variant> args{Variant(), Variant(s.portfolio), Variant(), Variant()};
  page.out() << "\n";
  for (const char* member : {"Get_StatusAll", "Get_DepartmentAll", "Get_TypeAll"}) {
    args = {Variant(), Variant(s.portfolio), Variant(), Variant()};
    if (!page.Call(member, args)) continue;
    const Variant count = Cell(args[0], Layout::RowFirst, 0, 0);
    page.out() << "  " << Padded(std::string(member) + ":", 19);
    if (count.IsEmpty()) {
      page.out() << "(the call did not finish)\n";
      continue;
    }
    for (int r = 1; r <= vb::CInt(count); ++r) {
      page.out() << (r > 1 ? ", " : "") << Shown(Cell(args[0], Layout::RowFirst, r, 2));
    }
    if (!args[3].IsEmpty()) page.out() << "   (sort \"" << Shown(args[3]) << "\")";
    page.out() << "\n";
  }
}

// The list page: every project with its bar; returns the project the user opens (an
// active one with some history of revised dates when there is one).
Variant ShowProjectList(Page& page, const Session& s) {
  std::vector<Variant> bar_colours{Variant(kActualColour)};
  page.Call("setProgressBarActual", bar_colours);
  bar_colours = {Variant(kTargetColour)};
  page.Call("setProgressBarTarget", bar_colours);

  std::vector<Variant> args{Variant(), Variant(s.portfolio), Variant(), Variant(""),
                            Variant("Z"), Variant(""), Variant(""), Variant(""), Variant("")};
  page.Call("Get_ProjectListAll", args);
  page.Heading(std::string("Project list (bars: ") + kActualColour + " done, " + kTargetColour +
               " due by plan; sort \"" + Shown(args[3]) + "\")");
  const Variant& grid = args[0];
  const Variant count = Cell(grid, Layout::RowFirst, 0, 0);
  if (count.IsEmpty()) {
    page.out() << "  (the call did not finish)\n";
    return {};
  }
  const int rows = vb::CInt(count);
  page.out() << "  " << rows << " project(s)\n";
  Variant chosen, first_active;
  for (int r = 1; r <= rows; ++r) {
    auto at = [&](int c) { return Cell(grid, Layout::RowFirst, r, c); };
    if (r <= 6) {
      page.out() << "  " << Padded(Shown(at(0)), 7) << Padded(Shown(at(1)), 30)
                 << Padded(Shown(at(2)), 10) << Padded(Shown(at(6)), 10) << Bar(at(12)) << " "
                 << std::right << std::setw(3) << Shown(at(5)) << "% target " << std::setw(3)
                 << Shown(at(13)) << std::left << "  rank " << Shown(at(14)) << "\n";
    }
    // The demo data keeps revised dates for the first twelve projects.
    if (!vb::TextEquals(at(6), "Active")) continue;
    if (first_active.IsEmpty()) first_active = at(15);
    if (chosen.IsEmpty() && at(15).IsNumberKind() && vb::CDbl(at(15)) <= 12) chosen = at(15);
  }
  if (chosen.IsEmpty()) chosen = first_active;
  if (rows > 6) page.out() << "  ... " << rows - 6 << " more\n";
  if (chosen.IsEmpty() && rows > 0) chosen = Cell(grid, Layout::RowFirst, 1, 15);
  return chosen;
}

// The Gantt page: projects touching the range, copied into a page array of their own and
// sorted by planned completion with SortArray, as the chart draws them.
void ShowGantt(Page& page, const Session& s) {
  std::vector<Variant> args{Variant(), Variant(s.portfolio), Variant(), Variant(""),
                            Variant("Z"), Variant(""), Variant(""), Variant(""), Variant(""),
                            Variant(kRangeStart), Variant(kRangeEnd)};
  page.Call("Get_ProjectListAllGanttChartView", args);
  page.Heading(std::string("Gantt chart ") + kRangeStart + " - " + kRangeEnd +
               ", sorted by planned completion");
  const Variant count = Cell(args[0], Layout::ColumnFirst, 0, 0);
  if (count.IsEmpty()) {
    page.out() << "  (the call did not finish)\n";
    return;
  }
  const int rows = vb::CInt(count);
  page.out() << "  " << rows << " project(s); filters written back: status \"" << Shown(args[4])
             << "\", department \"" << Shown(args[5]) << "\"\n";
  if (rows == 0) return;
  // The sort leaves the last row and the last column where they are, so the page's array
  // has one spare of each.
  VarArray chart({{0, 11}, {0, rows}});
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c <= 10; ++c) chart.at({c, r}) = Cell(args[0], Layout::ColumnFirst, r + 1, c);
  }
  std::vector<Variant> sort{Variant(std::move(chart)), Variant(std::int16_t{2}), Variant(std::int16_t{1})};
  if (!page.Call("SortArray", sort)) return;
  const double from = vb::CDate(Variant(kRangeStart)), to = vb::CDate(Variant(kRangeEnd));
  page.out() << "  " << std::string(54, ' ') << "Jan Feb Mar Apr May Jun\n";
  for (int r = 0; r < rows && r < 8; ++r) {
    auto at = [&](int c) { return Cell(sort[0], Layout::ColumnFirst, r, c); };
    page.out() << "  " << Padded(Shown(at(0)), 28) << Padded(Shown(at(2)), 11)
               << Padded(Shown(at(7)), 10) << "   " << Timeline(at(1), at(2), from, to) << "\n";
  }
  if (rows > 8) page.out() << "  ... " << rows - 8 << " more\n";
}

// The project form, as Get_ProjectSpecific fills it.
void ShowDetail(Page& page, const Session& s, const std::string& title) {
  std::vector<Variant> args{Variant(), Variant(s.portfolio), s.project_id};
  page.Call("Get_ProjectSpecific", args);
  page.Heading(title);
  if (Cell(args[0], Layout::RowFirst, 0, 0).IsEmpty()) {
    page.out() << "  (the call did not finish)\n";
    return;
  }
  auto at = [&](int c) { return Shown(Cell(args[0], Layout::RowFirst, 1, c)); };
  auto or_open = [](const std::string& t) { return t.empty() || t == "-" ? std::string("(open)") : t; };
  page.out() << "  " << at(3) << "  " << at(1) << "  (ID " << at(0) << ")\n"
             << "  planned " << at(6) << " - " << at(5) << "   actual " << or_open(at(7)) << " - "
             << or_open(at(8)) << "\n"
             << "  owner " << at(9) << ", submitted by " << at(10) << ", status " << at(11) << ", "
             << at(12) << "% complete, type " << at(13) << ", rank " << at(14) << "\n"
             << "  scores: success " << at(18) << ", cost " << at(19) << ", time " << at(20)
             << ", company " << at(21) << ", customer " << at(22) << "; cost " << at(15)
             << " planned, " << at(16) << " actual\n"
             << "  comments: " << at(28) << "\n";
}

void ShowRevisedDates(Page& page, const Session& s) {
  std::vector<Variant> args{Variant(), Variant(s.portfolio), Variant(), s.project_id};
  page.Call("Get_ProjectRevisedCompDates", args);
  page.ShowGrid("Revised completion dates of project " + Shown(s.project_id), args[0],
                Layout::RowFirst, {{1, "replaced estimate", 20}, {2, "recorded", 24}});
}

}  // namespace

void PortfolioSection(std::ostream& out, Session& s) {
  Page page(out, "KsMain.Kestrel");
  ShowLookups(page, s);
  s.project_id = ShowProjectList(page, s);
  ShowGantt(page, s);
  if (s.project_id.IsEmpty()) return;
  ShowDetail(page, s, "Project " + Shown(s.project_id));

  std::vector<Variant> args{Variant(), s.project_id, Variant(""), Variant(s.portfolio), Variant("")};
  page.Call("Get_ProjectSteps", args);
  page.ShowGrid("Steps (step filter written back: \"" + Shown(args[2]) + "\")", args[0],
                Layout::RowFirst,
                {{1, "step", 20}, {8, "start", 12}, {10, "planned end", 12}, {12, "status", 8},
                 {16, "%", 5}, {3, "resource", 8}},
                8);
  ShowRevisedDates(page, s);
}

void SaveAndReloadSection(std::ostream& out, Session& s) {
  if (s.project_id.IsEmpty()) {
    out << "  (no project was opened)\n";
    return;
  }
  Page reader(out, "KsMain.Kestrel");
  Page writer(out, "KsMain.KsMaint");

  // The form as the page posts it: every field as text, an empty field as "".
  std::vector<Variant> load{Variant(), Variant(s.portfolio), s.project_id};
  reader.Call("Get_ProjectSpecific", load);
  if (Cell(load[0], Layout::RowFirst, 0, 0).IsEmpty()) {
    out << "  (the project form did not load)\n";
    return;
  }
  auto field = [&](int c) { return Variant(vb::ConcatText(Cell(load[0], Layout::RowFirst, 1, c))); };
  // Index of the form array -> column of the detail grid. Index 9 is the submitter's key,
  // which the detail gives only as a last name: the form's pick list maps it back.
  constexpr int kFromDetail[31] = {1,  2,  3,  4,  6,  7,  5,  8,  9,  -1, 11, 12, 13, 14, 15, 16,
                                   17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 0};
  VarArray form({{0, 30}});
  for (int i = 0; i <= 30; ++i) form.at({i}) = kFromDetail[i] < 0 ? Variant("") : field(kFromDetail[i]);
  std::vector<Variant> people{Variant(), Variant(s.portfolio), Variant(), Variant("lastname")};
  reader.Call("Get_ResourceAll", people);
  const std::string submitter = vb::ConcatText(field(10));
  for (int r = 1; !Cell(people[0], Layout::RowFirst, r, 0).IsEmpty(); ++r) {
    if (vb::ConcatText(Cell(people[0], Layout::RowFirst, r, 4)) == submitter) {
      form.at({9}) = Variant(vb::ConcatText(Cell(people[0], Layout::RowFirst, r, 0)));
      break;
    }
  }
  const auto old_end = DateOf(Cell(load[0], Layout::RowFirst, 1, 5));
  const auto old_start = DateOf(Cell(load[0], Layout::RowFirst, 1, 6));
  const double new_end = old_end.value_or(vb::Today()) + 21;
  form.at({6}) = Variant(vb::CStr(Variant::FromDate(new_end)));
  const double percent = vb::IsNumeric(form.at({11})) ? vb::CDbl(form.at({11})) : 0;
  form.at({11}) = Variant(vb::DoubleText(percent < 90 ? percent + 10 : 95));
  form.at({27}) = Variant("Moved out three weeks: the supplier's tooling is late & needs a re-test.");

  out << "\n== Saving project " << Shown(s.project_id) << ": planned end "
      << Shown(Cell(load[0], Layout::RowFirst, 1, 5)) << " -> " << Shown(form.at({6})) << ", "
      << Shown(Cell(load[0], Layout::RowFirst, 1, 12)) << "% -> " << Shown(form.at({11})) << "% ==\n";
  std::vector<Variant> save{Variant(std::move(form)), Variant(s.portfolio), Variant("")};
  writer.Call("UPD_ProjectMasterALL", save);
  out << "  UPD_ProjectMasterALL   RC \"" << Shown(save[2]) << "\"; comments sent as \""
      << (save[0].IsArray() ? Shown(save[0].AsArray().at({27})) : "") << "\"\n";

  // One week later on the chart, same owner.
  const double shift = 7;
  std::vector<Variant> move{
      Variant(VarArray::Of({s.project_id,
                            Variant(vb::CStr(Variant::FromDate(old_start.value_or(new_end - 30) + shift))),
                            Variant(vb::CStr(Variant::FromDate(new_end + shift))), field(9)})),
      Variant(s.portfolio), Variant("")};
  writer.Call("UPD_ProjectGanttChart", move);
  out << "  UPD_ProjectGanttChart  RC \"" << Shown(move[2]) << "\" (moved " << shift
      << " days later: " << Shown(move[0].AsArray().at({1})) << " - " << Shown(move[0].AsArray().at({2}))
      << ")\n";

  // The review meeting: who attended, then the day it was actually held.
  std::string meeting_rcs;
  for (const Variant& who : {field(9), Variant("2")}) {
    std::vector<Variant> attend{Variant(VarArray::Of({Variant(kMeetingPlanned), Variant(""), who})),
                                Variant(s.portfolio), Variant(""), Variant("3")};
    writer.Call("UpDateMeetingDates", attend);
    meeting_rcs += "\"" + Shown(attend[2]) + "\" ";
  }
  std::vector<Variant> held{
      Variant(VarArray::Of({Variant(kMeetingPlanned), Variant(kMeetingHeld), Variant("")})),
      Variant(s.portfolio), Variant(""), Variant("1")};
  writer.Call("UpDateMeetingDates", held);
  out << "  UpDateMeetingDates     RC " << meeting_rcs << "(two attendees), \"" << Shown(held[2])
      << "\" (held " << kMeetingHeld << ")\n";

  ShowDetail(reader, s, "Read back: project " + Shown(s.project_id));
  ShowRevisedDates(reader, s);

  std::vector<Variant> dates{Variant(), Variant(s.portfolio), Variant()};
  reader.Call("Get_ReviewDates", dates);
  reader.Heading("Review meetings (last three)");
  const Variant count = Cell(dates[0], Layout::RowFirst, 0, 0);
  if (count.IsEmpty()) {
    out << "  (the call did not finish)\n";
  } else {
    const int rows = vb::CInt(count);
    reader.ShowRows(dates[0], Layout::RowFirst, {{1, "planned", 14}, {2, "held", 14}},
                    std::max(1, rows - 2), rows, 3);
  }
  std::vector<Variant> who{Variant(), Variant(s.portfolio), Variant(), Variant(kMeetingHeld)};
  reader.Call("Get_Attendees", who);
  reader.ShowGrid(std::string("Attendees of the meeting held ") + kMeetingHeld, who[0],
                  Layout::RowFirst, {{4, "first", 10}, {5, "last", 12}, {6, "resource", 9}});
}

void ReportsSection(std::ostream& out, Session& s) {
  Page page(out, "KsMain.Kestrel");
  std::vector<Variant> args{Variant(), Variant(s.portfolio), Variant(""), Variant(kRangeStart),
                            Variant("3/31/2026")};
  page.Call("Get_rptProjectsByTimePeriod", args);
  page.ShowGrid(std::string("Projects planned in ") + kRangeStart + " - 3/31/2026, by type and status",
                args[0], Layout::RowFirst,
                {{8, "type", 17}, {6, "status", 9}, {0, "project", 30}, {4, "owner", 10}, {7, "%", 4}});

  args = {Variant(), Variant(s.portfolio), Variant(""), Variant("1/1/2025"), Variant("12/31/2027")};
  page.Call("Get_rptKaizenEvents", args);
  page.ShowGrid("Kaizen results 2025 - 2027 (kind filter written back: \"" + Shown(args[2]) + "\")",
                args[0], Layout::RowFirst,
                {{0, "kind", 16}, {2, "project", 28}, {5, "before", 8}, {6, "after", 8},
                 {13, "change", 8}, {14, "verified", 8}});

  // Resource 3 is one of the demo's engineers; the report lists the steps carried for
  // projects that other people own.
  args = {Variant(), Variant(s.portfolio), Variant("3"), Variant("Z"), Variant("Z")};
  page.Call("Get_rptWhoNeedsHelpFrom", args);
  page.ShowGrid("Who needs help from resource 3 (step status \"" + Shown(args[4]) + "\")", args[0],
                Layout::RowFirst,
                {{0, "project", 30}, {1, "step", 17}, {5, "owner", 8}, {4, "", 10}, {6, "step status", 11}});
}

}  // namespace ksmain::tool::demo
