// The automation runtime's value rules: text of every kind, text to number, dates,
// comparisons, number formatting and the random-number generator.
//
// Every member and every SQL function of the embedded engine converts through this one
// module, so a date typed on a page, a date the database hands back and a date compared
// inside a statement all follow the same rules. The locale is fixed to en-US: short date
// m/d/yyyy, long time h:mm:ss AM/PM, "." as decimal point and "," for grouping.
//
// Failures raise VbError with the runtime's numbers: 6 Overflow, 13 Type mismatch,
// 94 Invalid use of Null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ksmain/variant.h"

namespace ksmain::vb {

// ---- Text ---------------------------------------------------------------------------

// CStr: the display text of a value. Empty is "", Boolean "True"/"False", Double with up
// to 15 significant digits ("0.5", "1E+20", "5.6789E-12"), Currency with up to 4 decimals,
// Date "12/6/2026", "12/6/2026 2:05:09 PM" or time-only "2:05:09 PM". Null raises 94;
// an array raises 13.
std::string CStr(const Variant& v);

// Text of a value where the runtime lets Null through as the empty text (the `&`
// operator): Null and Empty give "", everything else CStr.
std::string ConcatText(const Variant& v);

// Double as the runtime prints it: 15 significant digits, trailing zeros dropped, plain
// decimals below 1E+15 while every significant digit stands within 15 decimal places
// ("0.00001", "0.000000000056789"), E notation otherwise ("5.6789E-12", "1E+15"). The
// runtime holds no infinities or NaN; such a value raises 6.
std::string DoubleText(double d);

// Trim / LTrim / RTrim remove blanks (code 32) only, as the runtime does.
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
// Replace every occurrence of `find` (exact, case-sensitive) from the first character.
std::string Replace(std::string_view s, std::string_view find, std::string_view with);

// ---- Numbers ------------------------------------------------------------------------

// IsNumeric: numbers, Booleans, Empty, and text that reads as a number: digits with a
// decimal point, grouping commas and an exponent; around them blanks and, each at most
// once, a sign and the currency sign before or after ("$-11", "11 $", "0-", "+ 0") and
// parentheses for a negative ("(5)"); or "&H" hex. Null, dates and arrays are not numeric.
// (Text joined into SQL unquoted is checked by the statement lexer, not by this reader.)
bool IsNumeric(const Variant& v);

// Text to number as the runtime reads it; nullopt when the text is not numeric. Numeric
// text beyond the Double range ("1e999") raises 6. "&H"/"&O" values that fit 16 bits read
// as an Integer would ("&HFFFF" is -1), wider ones as a Long.
std::optional<double> ParseNumber(std::string_view text);

// CDbl / CInt / CLng / CCur / CBool. Halves round to even in CInt and CLng (0.5 -> 0,
// 1.5 -> 2, 2.5 -> 2) and at the fourth decimal in CCur. Empty is 0, True -1, a Date its
// serial; text reads as in ParseNumber (CBool also takes "True"/"False" and "#TRUE#"/
// "#FALSE#"). Out of range
// raises 6, non-numeric text 13, Null 94, an array 13.
double CDbl(const Variant& v);
std::int16_t CInt(const Variant& v);
std::int32_t CLng(const Variant& v);
std::int64_t CCur(const Variant& v);  // scaled by 10,000
bool CBool(const Variant& v);

// 16-bit arithmetic with the runtime's overflow check (error 6).
std::int16_t AddInteger(std::int16_t a, std::int16_t b);
std::int16_t SubInteger(std::int16_t a, std::int16_t b);

// Numeric value of a variant for arithmetic where Empty is 0 (the `+` of two variants).
// Null raises 94, non-numeric text 13.
double NumberOf(const Variant& v);

// FormatNumber(value, decimals, leading_zero, -, grouping): a fixed count of decimals,
// halves rounded away from zero on the value's 15-digit decimal form (2.675 -> "2.68");
// without a forced leading zero 0.8 prints ".8" (a whole number still prints "0"); the
// minus sign in front, and none when the value rounds to zero. 25 with one decimal is
// "25.0"; 1234.5 with none and grouping is "1,235". decimals -1 is the regional default
// (2); more than 99 raises 5; an infinite value raises 6.
std::string FormatNumber(double value, int decimals, bool leading_zero = true,
                         bool grouping = true);

// ---- Dates --------------------------------------------------------------------------
// Dates are serials: days since 1899-12-30, the fraction the time of day (for negative
// serials the fraction still counts forward from midnight, as the runtime stores them).

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Serial from calendar parts (years 100..9999); error 6 outside. As in the runtime, years
// 0-99 take the two-digit window (29 -> 2029, 30 -> 1930) and months, days and times
// outside their range carry over (month 13 is January of the next year, day 0 the last
// day of the month before).
double DateSerial(const DateParts& parts);
// Calendar parts of a serial, the time rounded to the second (23:59:59.6 is the next
// day's midnight). A serial outside 1/1/100 .. 12/31/9999 raises 6.
DateParts SplitDate(double serial);

// CDate: the forms a user types: m/d/yyyy and m-d-yyyy, yyyy-mm-dd, month names and their
// abbreviations ("2 January, 1970", "2-Jan-1970", "Jan 2, 1970"), times with or without
// seconds and AM/PM ("A"/"P" too; ignored past 12 o'clock), date and time together,
// separated by any blank (the ideographic space too); two-digit years 00-29 -> 20xx,
// 30-99 -> 19xx; year-month-day when the first number cannot be a month ("14 2 3" is
// 2/3/2014), day-month-year when neither fits (13/1/2026 is January 13). "." joins the
// parts of a time as ":" does ("2.5" is 2:05 AM; "02.01.1970" is no date). "m/d" without
// a year is in the current year; a lone number in text is not a date.
// Numbers convert as serials (6 outside the date range). Non-dates raise 13, Null 94.
double CDate(const Variant& v);
// The same rules on text; nullopt when it is not a date.
std::optional<double> ParseDate(std::string_view text);
bool IsDate(const Variant& v);
// DateValue: the date part of CDate (time dropped).
double DateValue(const Variant& v);

// Local date and time now / today's date (serials), from the system clock and time zone.
double Now();
double Today();

// DateDiff("d", a, b): calendar-day boundaries crossed from a to b (negative when b is
// earlier); times of day do not count. The day of a serial is its integer part (-1.25 is
// on 12/29/1899), not its floor.
std::int32_t DateDiffDays(double a, double b);

// ISO-8601 text as the embedded engine stores dates: "YYYY-MM-DD" for midnight,
// "YYYY-MM-DD HH:MM:SS" otherwise. ParseIso also accepts a 'T' separator and fractional
// seconds; nullopt for anything else.
std::string ToIso(double serial);
std::optional<double> ParseIso(std::string_view text);

// ---- Comparisons ---------------------------------------------------------------------

// A variant compared with literal text, as members compare parameters with "", "Z", "2"
// or action codes: Empty counts as "", a number, Boolean or date compares by its CStr
// text (so a numeric 2 equals "2", but 2.5 does not equal "2.50"), text compares
// exactly, and Null is never equal (the comparison yields Null, which a test treats as
// false). An array raises 13.
bool TextEquals(const Variant& v, std::string_view text);

// Variant comparison of two values (the `=`, `<`, `>` of two variants): -1, 0, 1, or
// nullopt when either is Null. Numbers (Booleans and dates included) compare
// numerically, texts by character codes (case-sensitive), and a number against a text is
// always the lesser, even when the text is numeric (2 < "1"), except that a date against a
// text that holds a date compares as two dates; Empty is 0 against a number and "" against
// a text. An array raises 13.
std::optional<int> Compare(const Variant& a, const Variant& b);

// The greater-than that the array sort uses: Compare(a, b) > 0, Null never greater.
bool SortGreater(const Variant& a, const Variant& b);

// ---- Random numbers -----------------------------------------------------------------

// Rnd: the runtime's 24-bit linear congruential generator, one per process, started at
// its documented seed, never reseeded per call; safe to call from several threads.
// A fresh process draws 0.7055475, 0.533424, 0.5795186, ...
float Rnd();
// Restart the generator at the runtime's start value (tests only).
void ResetRnd();

}  // namespace ksmain::vb
