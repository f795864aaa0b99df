// The SQL functions the printed statements call and the embedded driver registers.
//
// Dates inside the engine are ISO-8601 text in one canonical form: "YYYY-MM-DD" for a
// midnight value, "YYYY-MM-DD HH:MM:SS" otherwise, so that text order is date order and a
// date-only value sorts as its midnight. Every function converts with the runtime's rules
// (frame/vb_runtime.h), the same rules the members use.
//
// How the analyzer maps the source dialects' functions (names match without regard to
// case; a function not listed passes through under its own name, so the engine rejects
// one it does not have):
//   cdate(x) -> ks_cdate(x)          datevalue(x) -> ks_datevalue(x)
//     (with a literal text argument both are converted at translate time instead; a text
//      that is no date fails the statement with "Data type mismatch in criteria expression.")
//   getdate(), now() -> ks_now()     date() -> ks_date()
//   isnull(a, b) (T-SQL) -> coalesce(a, b), b in a's kind: for a number a, a literal text b
//     is read at translate time ('' -> 0), any other text through ks_asnumber(b)
//   isnull(a) (Jet) -> (a IS NULL)
//   nz(a) -> coalesce(a, '')         nz(a, b) -> coalesce(a, b)
//   len(s): Jet -> length(s); T-SQL -> length(rtrim(s, ' ')) (trailing blanks not counted)
//   year/month/day(x) -> ks_year/ks_month/ks_day(x) (Integer in Jet, Long in T-SQL)
//   ucase, upper -> upper            lcase, lower -> lower
//   trim/ltrim/rtrim(s) -> trim/ltrim/rtrim(s, ' ') (blanks only)
//   left(s, n) -> substr(s, 1, n)    right(s, n) -> ks_right(s, n)
//   mid(s, a[, n]) -> ks_mid(s, a, n, 'J'); substring(s, a, n) -> ks_mid(s, a, n, 'T')
//   instr([start, ]s, f[, compare]) -> ks_instr(start, s, f, compare) (compare 1, text, by
//     default); charindex(f, s[, start]) -> ks_instr(max(start, 1), s, f, 1)
//   instrrev(s, f[, start[, compare]]) -> ks_instrrev(s, f, start, compare)
//   cstr/cint/clng/cdbl/cbool/ccur/cvar(x), cast(x as type), convert(type, x[, style])
//     -> ks_convert(target, x, source kind, style)
//   dateadd/datediff/datepart/datename(part, ...) -> ks_dateadd/ks_datediff/ks_datepart/
//     ks_datename with the part as Jet's interval text ('yyyy', 'q', 'm', 'y', 'd', 'w',
//     'ww', 'h', 'n', 's'); T-SQL's part words are mapped to those
//   hour/minute/second(x) -> ks_datepart('h'/'n'/'s', x); weekday(x[, first])
//   dateserial(y, m, d) -> ks_dateserial; val, isnumeric, isdate, strcomp -> ks_*
//   replace(s, f, w) -> replace (Jet: exact); T-SQL -> ks_replace (ignores case)
//   replicate(s, n), space(n) -> ks_replicate; datalength(x) -> ks_datalength(x) (bytes)
//   format(x, f) -> ks_format(x, f, source kind)
// LIKE -> ks_like(value, pattern, 'J' | 'T'[, escape]).
//   iif(c, a, b) -> CASE WHEN c THEN a ELSE b END
//   count, sum, avg, min, max -> themselves
// Operators: `a + b` stays `+` when both are known numbers (numeric columns, number
// literals, arithmetic of those), else ks_add(a, b); Jet `&` (and `||`) -> ks_concat(a, b).
// Values written into a DATETIME column: a literal text is converted at translate time
// ("" -> NULL), anything else not already a date goes through ks_todate(x).
// Values written into a numeric column (INTEGER, SMALLINT, REAL, MONEY, BIT): a literal text
// is converted at translate time ("" -> NULL, numeric text -> its number), a known text
// expression goes through ks_tonumber(x).
#pragma once

namespace ksmain::sql::fn {

// ks_cdate(x): NULL -> NULL; a number is a date serial; text is read with the runtime's
// CDate rules (ISO text included); the canonical ISO text comes back. Text that is not a
// date raises "Data type mismatch in criteria expression.".
inline constexpr const char* kCDate = "ks_cdate";
// ks_datevalue(x): as ks_cdate, time of day dropped.
inline constexpr const char* kDateValue = "ks_datevalue";
// ks_now(): local date and time now (getdate() and now()), read once per run of a
// statement.
inline constexpr const char* kNow = "ks_now";
// ks_date(): local date today (Jet date()); read once per run of a statement.
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
// ks_tonumber(x): a value written into a numeric column: NULL and "" -> NULL; numbers stay
// as they are; text that reads as a number (the runtime's rules) becomes it; other text
// raises "Data type mismatch in criteria expression.".
inline constexpr const char* kToNumber = "ks_tonumber";
// ks_asnumber(x): a value standing in for a number (T-SQL isnull(n, x)), converted as
// the server converts text to a number: NULL -> NULL; "" and blanks -> 0; numbers stay as
// they are; numeric text becomes its number; other text raises
// "Data type mismatch in criteria expression.".
inline constexpr const char* kAsNumber = "ks_asnumber";
// ks_right(s, n): the last n characters of s (Right$); NULL -> NULL.
inline constexpr const char* kRight = "ks_right";

// ks_like(s, pattern, dialect[, escape]): LIKE without regard to case. Both dialects: %
// any run, _ one character, [abc], [a-c] and [^a-c] or [!a-c] a class, [%] the character
// itself. Jet also: * any run, ? one character, # one digit. NULL if s or pattern is NULL.
inline constexpr const char* kLike = "ks_like";
// ks_datecalc(a, b, op): op '+' a + b as a date, '-' a - b as a date, 'd' the days from b
// to a (a Double). Each side is a date (ISO text), a number of days or numeric text.
inline constexpr const char* kDateCalc = "ks_datecalc";
// ks_instr(start, s, find, compare) and ks_instrrev(s, find, start, compare): 1-based
// character positions, 0 when absent; compare 0 exact, 1 without regard to case.
inline constexpr const char* kInStr = "ks_instr";
inline constexpr const char* kInStrRev = "ks_instrrev";
// ks_mid(s, start, length, dialect): Jet Mid (a start below 1 or a negative length is an
// invalid argument) or T-SQL SUBSTRING (a start below 1 shortens the result; a negative
// length is an error). length NULL: to the end.
inline constexpr const char* kMid = "ks_mid";
// ks_convert(target, x, kind, style): x (of the analyzer's kind letter: D date, B Boolean,
// N number, S text, U unknown) converted to the target: Jet's cint, clng, cdbl, cbool,
// ccur, cstr, cvar, or a T-SQL type name (int, varchar(10), datetime, ...); style as in
// CONVERT (101, 103, 112, 120, 121) or NULL.
inline constexpr const char* kConvert = "ks_convert";
inline constexpr const char* kDateAdd = "ks_dateadd";
inline constexpr const char* kDateDiff = "ks_datediff";
inline constexpr const char* kDatePart = "ks_datepart";
inline constexpr const char* kDateName = "ks_datename";
inline constexpr const char* kDateSerial = "ks_dateserial";
inline constexpr const char* kWeekday = "ks_weekday";
inline constexpr const char* kVal = "ks_val";
inline constexpr const char* kIsNumeric = "ks_isnumeric";
inline constexpr const char* kIsDate = "ks_isdate";
inline constexpr const char* kStrComp = "ks_strcomp";
inline constexpr const char* kReplaceText = "ks_replace";
inline constexpr const char* kReplicate = "ks_replicate";
inline constexpr const char* kFormat = "ks_format";
inline constexpr const char* kDataLength = "ks_datalength";

}  // namespace ksmain::sql::fn
