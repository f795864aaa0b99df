// The SQL functions the printed statements call and the embedded driver registers.
//
// Dates inside the engine are ISO-8601 text in one canonical form: "YYYY-MM-DD" for a
// midnight value, "YYYY-MM-DD HH:MM:SS" otherwise, so that text order is date order and a
// date-only value sorts as its midnight. Every function converts with the runtime's rules
// (frame/vb_runtime.h), the same rules the members use.
#pragma once

namespace ksmain::sql::fn {

// ks_cdate(x): NULL -> NULL; a number is a date serial; text is read with the runtime's
// CDate rules (ISO text included); the canonical ISO text comes back. Text that is not a
// date raises "Data type mismatch in criteria expression.".
inline constexpr const char* kCDate = "ks_cdate";
// ks_datevalue(x): as ks_cdate, time of day dropped.
inline constexpr const char* kDateValue = "ks_datevalue";
// ks_now(): local date and time now (getdate() and now()); not deterministic.
inline constexpr const char* kNow = "ks_now";
// ks_date(): local date today (Jet date()); not deterministic.
inline constexpr const char* kToday = "ks_date";
// ks_year(x), ks_month(x), ks_day(x): parts of a date (converted as ks_cdate); NULL -> NULL.
inline constexpr const char* kYear = "ks_year";
inline constexpr const char* kMonth = "ks_month";
inline constexpr const char* kDay = "ks_day";
// ks_add(a, b): the source engines' "+": NULL if either is NULL; two texts join; otherwise
// both convert to numbers and add (text that is not numeric raises a conversion error).
inline constexpr const char* kAdd = "ks_add";
// ks_concat(a, b): Jet "&": NULL counts as the empty text, numbers print as the runtime
// prints them.
inline constexpr const char* kConcat = "ks_concat";
// ks_todate(x): a value written into a DATETIME column: NULL and "" -> NULL; a number is a
// serial; text is read with CDate; the canonical ISO text comes back. Text that is not a
// date raises "Data type mismatch in criteria expression.".
inline constexpr const char* kToDate = "ks_todate";
// ks_right(s, n): the last n characters of s (Right$); NULL -> NULL.
inline constexpr const char* kRight = "ks_right";

}  // namespace ksmain::sql::fn
