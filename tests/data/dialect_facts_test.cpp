// What the source engines answered, asked of every engine the library drives.
//
// One table of (dialect, statement, expected rows). Each engine under test opens a
// database holding the table `facts` and runs every statement through the data layer as
// the members do, so the rows are compared as the recordset delivers them: each value as
// "Kind text" (the runtime's kind name and CStr), "Null", or "error: ..." with a part of
// the message. The server's table is made from the same DDL by the server schema.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/datalink.h"
#include "data/engine_admin.h"
#include "frame/vb_runtime.h"
#include "schema/schema.h"
#include "scratch_db.h"
#include "support/engines.h"

namespace ksmain::testing {
namespace {

using sql::Dialect;
constexpr Dialect kJet = Dialect::Jet;
constexpr Dialect kTSql = Dialect::TSql;

// The rows every engine's `facts` table holds, written through the front end.
constexpr const char* kRows[] = {
    "insert into facts (ID, description, category, amount, started, secret) values "
    "(1, 'Active', 'Austin', 3, '1/1/2017', 'Secret')",
    "insert into facts (ID, description, category, amount, started, secret) values "
    "(2, NULL, NULL, NULL, NULL, 'x')",
    "insert into facts (ID, description, category, amount, started, secret) values "
    "(3, 'closed', 'dallas', 7, '2/3/2017 10:30 AM', 'y')",
};

constexpr const char* kFactsDdl =
    "CREATE TABLE facts (ID INTEGER PRIMARY KEY, description TEXT COLLATE NOCASE, "
    "category TEXT COLLATE NOCASE, amount SMALLINT, started DATETIME, secret TEXT, price MONEY);";

// The connection string of a database holding the table `facts`, made from the one DDL:
// on the server by the server schema's translation of it, with its ks_* functions.
std::string OpenFacts(Engine engine, const ScratchDir& dir, std::unique_ptr<ServerDatabase>& server) {
  if (engine == Engine::Embedded) return MakeDatabase(dir.File("facts.db"), kFactsDdl);
  server = std::make_unique<ServerDatabase>();
  data::EngineDatabase::Open(server->connect()).Script(schema::ServerDdl(kFactsDdl, false));
  return server->connect();
}

std::string Cell(const Variant& v) {
  if (v.IsNull()) return "Null";
  return std::string(KindName(v.kind())) + " " + vb::CStr(v);
}

// The statement's rows as "v, v; v, v", or "error: message".
std::string Answer(const std::string& connect, const std::string& statement, Dialect dialect) {
  try {
    data::Connection connection(dialect);
    connection.Open(connect);
    std::string out;
    for (auto rs = connection.Execute(statement); rs->IsOpen() && !rs->AtEof(); rs->MoveNext()) {
      if (!out.empty()) out += "; ";
      for (int i = 0; i < rs->FieldCount(); ++i) out += (i ? ", " : "") + Cell(rs->Field(i));
    }
    return out;
  } catch (const std::exception& e) {
    return std::string("error: ") + e.what();
  }
}

struct Fact {
  const char* n;
  Dialect dialect;
  const char* statement;
  const char* expected;  // rows; for "error: x" the message must contain x
};

const Fact kFacts[] = {
    // Texts compare and sort without regard to case wherever no column's collation decides.
    {"case-1.1", kJet, "select 'aBa' = 'aba'", "Boolean True"},
    {"case-1.2", kJet, "select ID from facts where nz(description, '') = 'ACTIVE'", "Long 1"},
    {"case-1.3", kJet, "select ID from facts where ucase(description) = 'active'", "Long 1"},
    {"case-1.4", kTSql, "select ID from facts where isnull(category, ID) = 'AUSTIN'", "Long 1"},
    {"case-1.5", kTSql, "select case when 'a' = 'A' then 'equal' else 'unequal' end", "String equal"},
    {"case-1.6", kJet, "select ID from facts where ID <> 2 order by ucase(category) desc", "Long 3; Long 1"},
    {"case-1.7", kJet, "select ID from facts where lcase(category) in ('AUSTIN')", "Long 1"},
    {"case-1.8 the secret column compares exactly", kJet, "select ID from facts where secret = 'secret'", ""},
    // LIKE classes and bracket escapes; Jet's own wildcards.
    {"like-2.1", kJet, "select '132B' like '13[1-4][A-F]'", "Boolean True"},
    {"like-2.2", kJet, "select 'a*a' like 'a[*]a', 'aXa' like 'a[*]a'", "Boolean True, Boolean False"},
    {"like-2.3", kTSql, "select ID from facts where 'Carlson' like '[CK]arlson' and ID = 1", "Long 1"},
    {"like-2.4", kTSql, "select case when '15% off' like '15[%] %' then 1 else 0 end", "Long 1"},
    {"like-2.5", kJet, "select 'b' like '[!a-c]', 'd' like '[!a-c]', 'x#1' like 'x[#]_'",
     "Boolean False, Boolean True, Boolean True"},
    {"like-2.6", kTSql, "select ID from facts where description like '[^a]%'", "Long 3"},
    {"like-2.7", kJet, "select ID from facts where category like 'a%' or category like '_ALLAS'", "Long 1; Long 3"},
    // Through the provider "*", "?" and "#" are plain characters, as page values hold them.
    {"like-2.11", kJet, "select 'A*' like 'a*', 'AB' like 'A*', 'x?' like 'X?', 'x1' like 'x#'",
     "Boolean True, Boolean False, Boolean True, Boolean False"},
    {"like-2.8", kTSql, "select ID from facts where '[x' like '![x' escape '!' and ID = 1", "Long 1"},
    {"like-2.10", kJet, "select 'a' like '[a'", "error: Invalid pattern string"},
    {"like-2.9", kTSql, "select ID from facts where description not like '%o%'", "Long 1"},
    // A backslash and a regular expression's characters are themselves.
    {"like-2.12", kJet, "select 'a\\b' like 'A\\_', 'abc' like 'a.c', 'a%c' like 'A%C'",
     "Boolean True, Boolean False, Boolean True"},
    // Comments and double quotes.
    {"lex-3.1", kJet, "select 30--7", "Long 37"},
    {"lex-3.2", kTSql, "select 30--7\n", "Long 30"},
    {"lex-3.3", kJet, "select \"a\" & \"b\"", "String ab"},
    {"lex-3.4", kTSql, "select \"description\" from facts where ID = 1", "String Active"},
    {"lex-3.5", kTSql, "select N'it''s'", "String it's"},
    // Date arithmetic.
    {"date-4.1", kJet, "select #1/1/2017# + 27", "Date 1/28/2017"},
    {"date-4.2", kJet, "select #01/02/2003# + '37'", "Date 2/8/2003"},
    {"date-4.3", kJet, "select #1/1/2017# + #10:30#", "Date 1/1/2017 10:30:00 AM"},
    {"date-4.4", kJet, "select #1/10/2017# - #1/1/2017#", "Double 9"},
    {"date-4.5", kJet, "select started - 1 from facts where ID = 1", "Date 12/31/2016"},
    // InStr ignores case.
    {"instr-5.1", kJet, "select instr('AFOOBAR', 'foo'), instr(3, 'abcabc', 'A'), instr(1, 'aA', 'A', 0)",
     "Long 2, Long 4, Long 2"},
    {"instr-5.2", kJet, "select instrrev('a.b.c', '.'), instr('abc', 'z')", "Long 4, Long 0"},
    {"instr-5.3", kTSql, "select charindex('B', 'abcb'), charindex('b', 'abcb', 3)", "Long 2, Long 4"},
    // T-SQL kinds and SUBSTRING.
    {"tsql-6.1", kTSql, "select isnull(started, '2/3/2017') from facts where ID = 2", "Date 2/3/2017"},
    {"tsql-6.2", kTSql, "select isnull(amount, 'N/A') from facts where ID = 2", "error: mismatch"},
    {"tsql-6.3", kTSql, "select substring('hello', -1, 3), substring('hello', 2, 3)", "String h, String ell"},
    {"tsql-6.4", kTSql, "select substring('hello', 1, -1)", "error: Invalid length"},
    {"tsql-6.5", kTSql, "select month(started), year(started), day(started) from facts where ID = 1",
     "Long 1, Long 2017, Long 1"},
    {"tsql-6.6", kJet, "select month(started), mid('hello', 2), mid('hello', 2, 2) from facts where ID = 1",
     "Integer 1, String ello, String el"},
    {"tsql-6.7", kJet, "select mid('hello', 0)", "error: Invalid procedure call"},
    // T-SQL conversions and functions.
    {"tsql-7.1", kTSql, "select cast('12' as int), cast(1.9 as int), cast(12 as varchar(1))",
     "Long 12, Long 1, String 1"},
    {"tsql-7.2", kTSql,
     "select convert(varchar(10), started, 101), convert(varchar, started, 103), convert(char(8), started, 112) "
     "from facts where ID = 3",
     "String 02/03/2017, String 03/02/2017, String 20170203"},
    {"tsql-7.3", kTSql, "select convert(varchar(19), started, 120) from facts where ID = 3",
     "String 2017-02-03 10:30:00"},
    {"tsql-7.4", kTSql, "select convert(datetime, '03/02/2017', 103), cast('20170203' as datetime)",
     "Date 2/3/2017, Date 2/3/2017"},
    {"tsql-7.5", kTSql, "select cast('x' as int)", "error: Conversion failed"},
    {"tsql-7.6", kTSql, "select cast(1 as xml)", "error: Conversion to type 'xml' is not supported"},
    {"tsql-7.7", kTSql, "select top (1) ID from facts order by ID desc", "Long 3"},
    {"tsql-7.8", kTSql,
     "select dateadd(day, 30, started), dateadd(mm, 1, '1/31/2017'), datediff(day, started, '1/3/2017') "
     "from facts where ID = 1",
     "Date 1/31/2017, Date 2/28/2017, Long 2"},
    {"tsql-7.9", kTSql, "select datepart(dw, '1/1/2017'), datename(month, '1/1/2017'), datepart(wk, '1/8/2017')",
     "Long 1, String January, Long 2"},
    {"tsql-7.10", kTSql, "select datalength('abc'), replicate('ab', 3), '[' + space(2) + ']'",
     "Long 3, String ababab, String [  ]"},
    {"tsql-7.11", kTSql, "select left('hello', 2), right('hello', 2), ltrim('  a'), upper('a'), replace('aAa', 'a', 'x')",
     "String he, String lo, String a, String A, String xxx"},
    {"tsql-7.13", kTSql, "select top 50 percent ID from facts", "error: TOP ... PERCENT is not supported"},
    {"tsql-7.12", kTSql, "select datepart(fortnight, started) from facts", "error: Date part 'fortnight'"},
    // Jet functions.
    {"jet-8.1", kJet, "select iif(amount > 5, 'big', 'small') from facts where ID = 3", "String big"},
    {"jet-8.2", kJet, "select cstr(started), cint('2.5'), clng(3.5), cdbl('1.25'), cbool(0), ccur(1.23456) "
                      "from facts where ID = 3",
     "String 2/3/2017 10:30:00 AM, Integer 2, Long 4, Double 1.25, Boolean False, Currency 1.2346"},
    {"jet-8.3", kJet, "select cint('x')", "error: Type mismatch"},
    {"jet-8.4", kJet,
     "select dateadd('m', 1, #1/31/2017#), datediff('d', #1/1/2017#, #3/1/2017#), datepart('q', #5/1/2017#), "
     "dateserial(2017, 14, 1)",
     "Date 2/28/2017, Long 59, Integer 2, Date 2/1/2018"},
    {"jet-8.5", kJet, "select weekday(#1/7/2017#), hour(started), minute(started), second(started) "
                      "from facts where ID = 3",
     "Integer 7, Integer 10, Integer 30, Integer 0"},
    {"jet-8.6", kJet, "select val(' 12 34abc'), isnumeric('1e3'), isdate('2/30/2017'), strcomp('a', 'B')",
     "Double 1234, Boolean True, Boolean False, Integer -1"},
    {"jet-8.7", kJet, "select replace('aAa', 'a', 'x'), left('hello', 2), right('hello', 2)",
     "String xAx, String he, String lo"},
    {"jet-8.8", kJet,
     "select format(started, 'yyyy-mm-dd hh:nn'), format(started, 'Short Date'), format(started, 'mmm d, yyyy') "
     "from facts where ID = 3",
     "String 2017-02-03 10:30, String 2/3/2017, String Feb 3, 2017"},
    {"jet-8.9", kJet, "select format(1234.5, '#,##0.00'), format(0.256, '0.0%'), format(5, 'Currency'), "
                      "format(1234.5, 'Standard')",
     "String 1,234.50, String 25.6%, String $5.00, String 1,234.50"},
    {"jet-8.10", kJet, "select format(started, 'Long Date') from facts where ID = 1", "String Sunday, January 1, 2017"},
    // The scalar helpers pages write: trim takes blanks only; year() of a column, day() of a text.
    {"jet-8.11", kJet, "select '[' & trim(' \tLead  ') & ']', year(started), day('12/25/2026') from facts where ID = 1",
     "String [\tLead], Integer 2017, Integer 25"},
    {"jet-8.12", kJet, "select count(*) from facts where exists (select * from facts where ID = 3)", "Long 3"},
    // T-SQL's len() leaves out trailing blanks only; Jet's counts every character.
    {"len-9.1", kTSql, "select len('a.gi  '), len('  ab'), len('')", "Long 4, Long 4, Long 0"},
    {"len-9.2", kJet, "select len('a.gi  '), len('  ab')", "Long 6, Long 4"},
    // T-SQL's isnull(a, b) is the first that is not NULL, in the kind of a: the empty text
    // and blanks are 0 (computed ones too), a whole number counts, a fraction does not fit
    // an integer. Jet's isnull(a) is a test; nz() gives the empty text or its default.
    {"isnull-10.1", kTSql,
     "select isnull(amount, ''), isnull(amount, '  '), isnull(amount, ' 12 '), isnull(amount, 3), "
     "isnull(amount, '') + 1, isnull(amount, ltrim(' ')) + 1, "
     "case when isnull(price, '') + 1 = 1 then 'money' end from facts where ID = 2",
     "Integer 0, Integer 0, Integer 12, Integer 3, Long 1, Long 1, String money"},
    {"isnull-10.2", kTSql, "select isnull(amount, '1.5') from facts where ID = 2", "error: mismatch"},
    {"isnull-10.3", kTSql, "select isnull(description, '-') from facts order by ID", "String Active; String -; String closed"},
    {"isnull-10.7", kTSql,
     "select isnull(amount, ltrim(' 5')), isnull(amount, ltrim(' ')), isnull(amount, '5') from facts where ID = 2",
     "Integer 5, Integer 0, Integer 5"},
    {"isnull-10.4", kJet, "select ID from facts where isnull(description)", "Long 2"},
    {"isnull-10.5", kJet, "select ID from facts where not isnull(description) order by ID", "Long 1; Long 3"},
    {"isnull-10.6", kJet, "select nz(description) & '|' & nz(amount, 0) from facts order by ID",
     "String Active|3; String |0; String closed|7"},
    // "+" joins two texts, adds two numbers and is NULL with a NULL operand; "&" takes NULL
    // as the empty text and prints numbers.
    {"plus-15.1", kJet, "select description + ' ' + category, amount + 1, '1' + '2', amount & '/' & 1.5 from facts where ID = 1",
     "String Active Austin, Long 4, String 12, String 3/1.5"},
    {"plus-15.2", kJet, "select description + ' ', amount + 1, description & category & '|' from facts where ID = 2",
     "Null, Null, String |"},
    // A text and a number add as the runtime adds them, to a Double; a text that is no
    // number is a mismatch, never joined.
    {"plus-15.3", kJet, "select '12' + 1, '12' + amount, amount + ' 2.5' from facts where ID = 1",
     "Double 13, Double 15, Double 5.5"},
    {"plus-15.4", kJet, "select 'Active' + 1", "error: mismatch"},
    {"plus-15.5", kJet, "select description + amount from facts where ID = 1", "error: mismatch"},
    // T-SQL converts the text to the number's type instead.
    {"plus-15.6", kTSql, "select '12' + 1, '12' + amount, 1 + ' 2', 'Active' + ' ' + 'x' from facts where ID = 1",
     "Long 13, Long 15, Long 3, String Active x"},
    {"plus-15.7", kTSql, "select 'Active' + 1", "error: mismatch"},
    // Text written into or compared with a date column (these rows change the table, so
    // they come last): the empty text is NULL, a text that is no date is refused, and so
    // is one the stored data supplies at run time.
    {"nodate-11.1", kJet, "insert into facts (ID, started, secret) values (4, '', 'z')", ""},
    {"nodate-11.2", kJet, "update facts set started = '' where ID = 1", ""},
    {"nodate-11.3", kJet, "select started from facts where ID in (1, 4) order by ID", "Null; Null"},
    {"nodate-11.4", kJet, "select ID from facts where started between '' and '1/1/2026'", "error: mismatch"},
    {"nodate-11.5", kJet, "select ID from facts where started in ('1/1/2026', 'x')", "error: mismatch"},
    {"nodate-11.6", kJet, "update facts set secret = '3/4/2026' where ID = 1", ""},
    {"nodate-11.7", kJet, "update facts set started = secret where ID = 1", ""},
    {"nodate-11.8", kJet, "update facts set started = category where ID = 2", ""},
    {"nodate-11.9", kJet, "select started from facts where ID in (1, 2) order by ID", "Date 3/4/2026; Null"},
    {"nodate-11.10", kJet, "update facts set started = description where ID = 1", "error: mismatch"},
    {"nodate-11.11", kJet, "update facts set secret = '' where ID = 1", ""},
    {"nodate-11.12", kJet, "update facts set started = secret where ID = 1", ""},
    {"nodate-11.13", kJet, "select started from facts where ID = 1", "Null"},
    // Dates written as m/d/yyyy text sort and compare as dates; NULL sorts first ascending,
    // last descending; BETWEEN takes the last day's midnight, not later that day.
    {"order-12.1", kJet, "insert into facts (ID, started, secret) values (5, '12/1/2025', '12/1/2025')", ""},
    {"order-12.2", kJet, "insert into facts (ID, started, secret) values (6, '1/15/2026', '2/1/2026')", ""},
    {"order-12.3", kJet, "insert into facts (ID, started, secret) values (7, '2/1/2026', '1/15/2026')", ""},
    {"order-12.4", kJet, "insert into facts (ID, started) values (8, '')", ""},
    {"order-12.5", kJet, "insert into facts (ID, started) values (9, '1/31/2026 6:00 PM')", ""},
    {"order-12.6", kJet, "select ID from facts where ID >= 5 order by started", "Long 8; Long 5; Long 6; Long 9; Long 7"},
    {"order-12.7", kJet, "select ID from facts where ID >= 5 order by datevalue(started) desc",
     "Long 7; Long 9; Long 6; Long 5; Long 8"},
    {"order-12.8", kJet, "select ID from facts where cdate(started) between cdate('1/1/2026') and cdate('1/31/2026')",
     "Long 6"},
    {"order-12.9", kJet, "select ID from facts where started between '1/15/2026' and '2/1/2026' order by ID",
     "Long 6; Long 7; Long 9"},
    {"order-12.10", kJet, "select distinct cdate(secret) as d from facts where ID between 5 and 7 order by cdate(secret)",
     "Date 12/1/2025; Date 1/15/2026; Date 2/1/2026"},
    // Jet's parenthesised SET list (the rank form's update) sets every column it names.
    {"setlist-13.1", kJet, "Update facts Set ( amount = 4,description = 'set',category = 'all' ) where id = 3", ""},
    {"setlist-13.2", kJet, "select amount, description, category from facts where ID = 3", "Integer 4, String set, String all"},
    // Date texts are read with the runtime's rules wherever they meet a date: written into a
    // date column, compared with one, given to cdate(), or kept as text and converted.
    {"datetext-14.1", kJet, "update facts set started = '1/5/2026 12:00:00 AM', secret = '1/5/2026 12:00:00 AM' where ID = 3", ""},
    {"datetext-14.2", kJet, "select started, cdate('1/5/2026 12:00:00 AM'), cdate(secret) from facts where started = '1/5/2026 12:00:00 AM'",
     "Date 1/5/2026, Date 1/5/2026, Date 1/5/2026"},
    {"datetext-14.3", kJet, "update facts set started = '1/5/2026 12:30 PM', secret = '1/5/2026 12:30 PM' where ID = 3", ""},
    {"datetext-14.4", kJet, "select started, cdate('1/5/2026 12:30 PM'), cdate(secret) from facts where started = '1/5/2026 12:30 PM'",
     "Date 1/5/2026 12:30:00 PM, Date 1/5/2026 12:30:00 PM, Date 1/5/2026 12:30:00 PM"},
    {"datetext-14.5", kJet, "update facts set started = '2/3/2026', secret = '2/3/2026' where ID = 3", ""},
    {"datetext-14.6", kJet, "select started, cdate('2/3/2026'), cdate(secret) from facts where started = '2/3/2026'",
     "Date 2/3/2026, Date 2/3/2026, Date 2/3/2026"},
    {"datetext-14.7", kJet, "update facts set started = '2026-01-05 08:00:00', secret = '2026-01-05 08:00:00' where ID = 3", ""},
    {"datetext-14.8", kJet, "select started, cdate('2026-01-05 08:00:00'), cdate(secret) from facts where started = '2026-01-05 08:00:00'",
     "Date 1/5/2026 8:00:00 AM, Date 1/5/2026 8:00:00 AM, Date 1/5/2026 8:00:00 AM"},
    // Day first when month first is impossible.
    {"datetext-14.9", kJet, "update facts set started = '13/1/2026' where ID = 3", ""},
    {"datetext-14.10", kJet, "select started, cdate('13/1/2026') from facts where started = '13/1/2026'",
     "Date 1/13/2026, Date 1/13/2026"},
    {"datetext-14.11", kJet, "select ID, datevalue('1/5/2026 12:30 PM') from facts where started = #1/13/2026#",
     "Long 3, Date 1/5/2026"},
    // A date text kept in a column converts as the literal does: day first when month
    // first is impossible, a two-digit year in 1930..2029.
    {"datetext-14.12", kJet,
     "update facts set secret = '13/1/2026 10:30 AM', category = '31-12-2025', description = '1/5/35' where ID = 3", ""},
    {"datetext-14.13", kJet,
     "select cdate(secret), datevalue(secret), cdate(category), cdate(description), cdate('1/5/35') from facts where ID = 3",
     "Date 1/13/2026 10:30:00 AM, Date 1/13/2026, Date 12/31/2025, Date 1/5/1935, Date 1/5/1935"},
    {"datetext-14.14", kTSql, "select convert(datetime, secret), cast(category as datetime) from facts where ID = 3",
     "Date 1/13/2026 10:30:00 AM, Date 12/31/2025"},
    // Currency with a whole number stays Currency; with a fraction it is a Double.
    {"money-16.1", kJet, "update facts set price = 2.5 where ID = 1", ""},
    {"money-16.2", kJet, "select price + 1, price * amount, price - price, price + 0.25 from facts where ID = 1",
     "Currency 3.5, Currency 7.5, Currency 0, Double 2.75"},
};

class DialectFacts : public ::testing::TestWithParam<Engine> {};

TEST_P(DialectFacts, AgreeWithTheSourceEngines) {
  KSMAIN_SKIP_WITHOUT_SERVER(GetParam());
  ScratchDir dir;
  std::unique_ptr<ServerDatabase> server;  // outlives the connections to it
  const std::string connect = OpenFacts(GetParam(), dir, server);
  for (const char* row : kRows) ASSERT_EQ(Answer(connect, row, kJet), "") << row;
  for (const Fact& f : kFacts) {
    SCOPED_TRACE(std::string(f.n) + ": " + f.statement);
    const std::string answer = Answer(connect, f.statement, f.dialect);
    const std::string expected = f.expected;
    if (expected.rfind("error: ", 0) == 0) {
      EXPECT_NE(answer.find(expected.substr(7)), std::string::npos) << answer;
      EXPECT_EQ(answer.rfind("error: ", 0), 0u) << answer;
    } else {
      EXPECT_EQ(answer, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, DialectFacts, ::testing::Values(Engine::Embedded, Engine::Server),
                         EngineName);

}  // namespace
}  // namespace ksmain::testing
