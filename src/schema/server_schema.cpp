// The two schemas on a PostgreSQL server, made from the embedded schemas' own DDL so the
// tables and columns can never drift apart, plus what the server needs to give the same
// answers as the embedded engine:
//   - text columns are citext (postgresql-contrib): they compare, sort and match LIKE
//     without regard to case, as the source engines did; the client password stays exact;
//   - dates are timestamps (to the second), money the `currency` domain (four decimals);
//   - keys are serials; a row inserted with its key written out (as fixtures and imports
//     do) moves the key's sequence past it, so the next generated key is free, as the
//     embedded engine's max-plus-one keys are;
//   - the ks_* functions the printed statements call, the counterparts of the embedded
//     engine's (LIKE with character classes, InStr, Mid/SUBSTRING, Jet date arithmetic,
//     DateAdd and its kin, conversions, Format), with the runtime's rules: the empty text
//     written into a date is NULL, text that is no date fails the statement. Where one
//     function answers values of several kinds (ks_convert, ks_format, two dates in
//     ks_datecalc) it answers text, and the recordset reads it as the statement's kind;
//   - the catalogue's two listing procedures as set-returning functions.
#include <string>
#include <string_view>
#include <vector>

#include "schema/schema.h"

namespace ksmain::schema {
namespace {

constexpr std::string_view kServerPrelude = R"sql(
CREATE EXTENSION IF NOT EXISTS citext;
DO $$ BEGIN
  CREATE DOMAIN currency AS numeric(19,4);
EXCEPTION WHEN duplicate_object THEN NULL;
END $$;

CREATE OR REPLACE FUNCTION ks_key() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  seq text := pg_get_serial_sequence(quote_ident(TG_TABLE_NAME), 'id');
BEGIN
  IF NEW.id > coalesce(pg_sequence_last_value(seq::regclass), 0) THEN
    PERFORM setval(seq, NEW.id);
  END IF;
  RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION ks_mismatch() RETURNS timestamp LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'Data type mismatch in criteria expression.' USING ERRCODE = '22007';
END $$;

CREATE OR REPLACE FUNCTION ks_cdate(v timestamp) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION ks_cdate(v double precision) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT date_trunc('second', timestamp '1899-12-30' + v * interval '1 day' + interval '0.5 second') $$;
-- Text read as the runtime reads a date: month first (the session's DateStyle); the day
-- first when month first is impossible ('13/1/2026', '31-12-2025'); a two-digit year is
-- 1930 to 2029.
CREATE OR REPLACE FUNCTION ks_cdate(v text) RETURNS timestamp LANGUAGE plpgsql STABLE AS $$
DECLARE
  t text := btrim(v);
  d timestamp;
BEGIN
  IF v IS NULL THEN RETURN NULL; END IF;
  IF t ~ '^[0-9]+$' THEN RETURN ks_mismatch(); END IF;
  BEGIN
    d := t::timestamp;
  EXCEPTION WHEN datetime_field_overflow THEN
    d := regexp_replace(t, '^([0-9]{1,2})([/.-])([0-9]{1,2})\2', '\3\2\1\2')::timestamp;
  END;
  IF t ~ '^[0-9]{1,2}([/.-])[0-9]{1,2}\1[0-9]{2}($|[^0-9])' AND d >= timestamp '2030-01-01' THEN
    d := d - interval '100 years';
  END IF;
  RETURN date_trunc('second', d);
EXCEPTION WHEN invalid_datetime_format OR datetime_field_overflow OR invalid_parameter_value THEN
  RETURN ks_mismatch();
END $$;
CREATE OR REPLACE FUNCTION ks_datevalue(v timestamp) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT date_trunc('day', v) $$;
CREATE OR REPLACE FUNCTION ks_datevalue(v double precision) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT date_trunc('day', ks_cdate(v)) $$;
CREATE OR REPLACE FUNCTION ks_datevalue(v text) RETURNS timestamp LANGUAGE sql STABLE
  AS $$ SELECT date_trunc('day', ks_cdate(v)) $$;
CREATE OR REPLACE FUNCTION ks_todate(v timestamp) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION ks_todate(v double precision) RETURNS timestamp LANGUAGE sql IMMUTABLE
  AS $$ SELECT ks_cdate(v) $$;
CREATE OR REPLACE FUNCTION ks_todate(v text) RETURNS timestamp LANGUAGE sql STABLE
  AS $$ SELECT CASE WHEN v = '' THEN NULL ELSE ks_cdate(v) END $$;
CREATE OR REPLACE FUNCTION ks_now() RETURNS timestamp LANGUAGE sql STABLE
  AS $$ SELECT localtimestamp(0) $$;
CREATE OR REPLACE FUNCTION ks_date() RETURNS timestamp LANGUAGE sql STABLE
  AS $$ SELECT date_trunc('day', localtimestamp) $$;
CREATE OR REPLACE FUNCTION ks_year(v timestamp) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT extract(year FROM v)::integer $$;
CREATE OR REPLACE FUNCTION ks_year(v text) RETURNS integer LANGUAGE sql STABLE
  AS $$ SELECT extract(year FROM ks_cdate(v))::integer $$;
CREATE OR REPLACE FUNCTION ks_month(v timestamp) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT extract(month FROM v)::integer $$;
CREATE OR REPLACE FUNCTION ks_month(v text) RETURNS integer LANGUAGE sql STABLE
  AS $$ SELECT extract(month FROM ks_cdate(v))::integer $$;
CREATE OR REPLACE FUNCTION ks_day(v timestamp) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT extract(day FROM v)::integer $$;
CREATE OR REPLACE FUNCTION ks_day(v text) RETURNS integer LANGUAGE sql STABLE
  AS $$ SELECT extract(day FROM ks_cdate(v))::integer $$;
CREATE OR REPLACE FUNCTION ks_right(s text, n integer) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN n <= 0 THEN '' ELSE right(s, n) END $$;

-- Values as the runtime prints them when it joins texts.
CREATE OR REPLACE FUNCTION ks_text(v text) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT coalesce(v, '') $$;
CREATE OR REPLACE FUNCTION ks_text(v double precision) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT coalesce(v::text, '') $$;
CREATE OR REPLACE FUNCTION ks_text(v boolean) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN v IS NULL THEN '' WHEN v THEN 'True' ELSE 'False' END $$;
CREATE OR REPLACE FUNCTION ks_text(v timestamp) RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN v IS NULL THEN ''
              WHEN v = date_trunc('day', v) THEN to_char(v, 'FMMM/FMDD/YYYY')
              ELSE to_char(v, 'FMMM/FMDD/YYYY FMHH12:MI:SS AM') END $$;
-- Text read as a number for "+": the runtime's plain decimal forms; anything else fails.
CREATE OR REPLACE FUNCTION ks_number(v text) RETURNS double precision LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
  RETURN btrim(v)::double precision;
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Data type mismatch in criteria expression.' USING ERRCODE = '22018';
END $$;
CREATE OR REPLACE FUNCTION ks_number(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION ks_tonumber(v text) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN v = '' THEN NULL ELSE ks_number(v) END $$;
CREATE OR REPLACE FUNCTION ks_tonumber(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
-- A value standing in for a NULL number (isnull(n, x)): blank text is 0, as the old server read it.
CREATE OR REPLACE FUNCTION ks_asnumber(v text) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN btrim(v) = '' THEN 0 ELSE ks_number(v) END $$;
CREATE OR REPLACE FUNCTION ks_asnumber(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION ks_add(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE STRICT
  AS $$ SELECT a || b $$;

-- The text functions of the embedded engine, in characters, with the runtime's errors.
CREATE OR REPLACE FUNCTION ks_invalid() RETURNS integer LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'Invalid procedure call or argument' USING ERRCODE = '22023';
END $$;
CREATE OR REPLACE FUNCTION ks_instr(start integer, s text, f text, cmp integer) RETURNS integer
  LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  at integer;
BEGIN
  IF s IS NULL OR f IS NULL THEN RETURN NULL; END IF;
  IF start IS NULL OR start < 1 THEN RETURN ks_invalid(); END IF;
  IF cmp <> 0 THEN s := upper(s); f := upper(f); END IF;
  IF start > length(s) THEN RETURN 0; END IF;
  IF f = '' THEN RETURN start; END IF;
  at := strpos(substr(s, start), f);
  RETURN CASE WHEN at = 0 THEN 0 ELSE at + start - 1 END;
END $$;
-- start -1 is the end; the match must end at or before character `start`.
CREATE OR REPLACE FUNCTION ks_instrrev(s text, f text, start integer, cmp integer) RETURNS integer
  LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  at integer;
BEGIN
  IF s IS NULL OR f IS NULL OR start IS NULL THEN RETURN NULL; END IF;
  IF start = 0 OR start < -1 THEN RETURN ks_invalid(); END IF;
  IF cmp <> 0 THEN s := upper(s); f := upper(f); END IF;
  IF start = -1 THEN start := length(s); END IF;
  IF start > length(s) THEN RETURN 0; END IF;
  IF f = '' THEN RETURN start; END IF;
  at := strpos(reverse(left(s, start)), reverse(f));
  RETURN CASE WHEN at = 0 THEN 0 ELSE start - at - length(f) + 2 END;
END $$;
-- Jet Mid or T-SQL SUBSTRING (dialect 'J' or 'T'); the characters before the first count
-- as taken, as the old server counted them.
CREATE OR REPLACE FUNCTION ks_mid(s text, start bigint, len bigint, dialect text) RETURNS text
  LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  stop bigint;
BEGIN
  IF s IS NULL THEN RETURN NULL; END IF;
  IF start IS NULL THEN RAISE EXCEPTION 'Invalid use of Null' USING ERRCODE = '22004'; END IF;
  IF len < 0 AND dialect <> 'J' THEN
    RAISE EXCEPTION 'Invalid length parameter passed to the substring function.' USING ERRCODE = '22023';
  END IF;
  IF len < 0 OR (dialect = 'J' AND start < 1) THEN PERFORM ks_invalid(); END IF;
  stop := CASE WHEN len IS NULL OR start > 2147483647 - len THEN 9223372036854775807 ELSE start + len END;
  IF start < 1 THEN start := 1; END IF;
  IF stop <= start OR start > length(s) THEN RETURN ''; END IF;
  RETURN substr(s, start::integer, least(stop - start, length(s))::integer);
END $$;
-- Replace without regard to case, as the runtime's Replace compares.
CREATE OR REPLACE FUNCTION ks_replace(s text, f text, w text) RETURNS text LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT CASE WHEN f = '' THEN s
              ELSE regexp_replace(s, regexp_replace(f, '([^[:alnum:][:space:]])', '\\\1', 'g'),
                                  replace(w, '\', '\\'), 'gi') END $$;
CREATE OR REPLACE FUNCTION ks_datalength(v text) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT octet_length(v) $$;
CREATE OR REPLACE FUNCTION ks_datalength(v integer) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN v IS NULL THEN NULL ELSE 4 END $$;
CREATE OR REPLACE FUNCTION ks_datalength(v double precision) RETURNS integer LANGUAGE sql IMMUTABLE
  AS $$ SELECT CASE WHEN v IS NULL THEN NULL ELSE 8 END $$;
-- Jet date arithmetic: '+' and '-' move a date by a number of days (numeric text too),
-- 'd' is the days from b to a.
CREATE OR REPLACE FUNCTION ks_datecalc(a timestamp, b text, op text) RETURNS timestamp
  LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT CASE op WHEN '+' THEN a + ks_number(b) * interval '1 day'
                 WHEN '-' THEN a - ks_number(b) * interval '1 day' END $$;
CREATE OR REPLACE FUNCTION ks_datecalc(a timestamp, b double precision, op text) RETURNS timestamp
  LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT ks_datecalc(a, b::text, op) $$;
-- Two dates: the days between them ('d', a Double), or the second's days and time moved
-- onto the first. One function answers both, so it answers text the recordset reads as
-- the statement's kind.
CREATE OR REPLACE FUNCTION ks_datecalc(a timestamp, b timestamp, op text) RETURNS text
  LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT CASE op WHEN 'd' THEN (extract(epoch FROM a - b) / 86400)::double precision::text
                 WHEN '+' THEN to_char(a + (b - timestamp '1899-12-30'), 'YYYY-MM-DD HH24:MI:SS')
                 WHEN '-' THEN to_char(a - (b - timestamp '1899-12-30'), 'YYYY-MM-DD HH24:MI:SS') END $$;
-- LIKE as both source dialects read it, without regard to case: % any run, _ one
-- character, [abc], [a-c], [^a-c] (Jet also [!a-c]) a class, [%] the character itself,
-- `esc` before a character the character itself. Made into an anchored regular expression
-- with every other character quoted, so no pattern can be more than a pattern.
CREATE OR REPLACE FUNCTION ks_like_classes(s text, pattern text, dialect text, esc text)
  RETURNS boolean LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  p text := upper(pattern);
  n integer := length(p);
  i integer := 1;
  c text;
  re text := '';
  cls text;
  first boolean;
BEGIN
  IF s IS NULL OR pattern IS NULL THEN RETURN NULL; END IF;
  IF p <> '' AND ltrim(p, '%') = '' THEN RETURN TRUE; END IF;
  WHILE i <= n LOOP
    c := substr(p, i, 1);
    IF esc IS NOT NULL AND c = upper(esc) AND i < n THEN
      i := i + 1;
      re := re || CASE WHEN substr(p, i, 1) ~ '[[:alnum:]]' THEN '' ELSE '\' END || substr(p, i, 1);
    ELSIF c = '%' THEN
      re := re || '.*';
    ELSIF c = '_' THEN
      re := re || '.';
    ELSIF c = '[' THEN
      i := i + 1;
      cls := '[';
      IF i < n AND (substr(p, i, 1) = '^' OR (dialect = 'J' AND substr(p, i, 1) = '!'))
         AND substr(p, i + 1, 1) <> ']' THEN
        cls := '[^';
        i := i + 1;
      END IF;
      first := TRUE;
      WHILE i <= n AND (substr(p, i, 1) <> ']' OR first) LOOP
        first := FALSE;
        c := substr(p, i, 1);
        cls := cls || CASE WHEN c ~ '[[:alnum:]]' THEN '' ELSE '\' END || c;
        IF i + 2 <= n AND substr(p, i + 1, 1) = '-' AND substr(p, i + 2, 1) <> ']' THEN
          c := substr(p, i + 2, 1);
          cls := cls || '-' || CASE WHEN c ~ '[[:alnum:]]' THEN '' ELSE '\' END || c;
          i := i + 2;
        END IF;
        i := i + 1;
      END LOOP;
      IF i > n THEN
        RAISE EXCEPTION 'Invalid pattern string' USING ERRCODE = '22025';
      END IF;
      re := re || cls || ']';
    ELSE
      re := re || CASE WHEN c ~ '[[:alnum:]]' THEN '' ELSE '\' END || c;
    END IF;
    i := i + 1;
  END LOOP;
  RETURN upper(s) ~ ('^(?:' || re || ')$');
END $$;
-- Most patterns have no class and no escape character: the server's own LIKE on the
-- upper-cased texts (no escape character, so a backslash is itself) matches them exactly as
-- the expression above would. A plain SQL body, so the planner writes it into the statement
-- instead of calling a function per row.
CREATE OR REPLACE FUNCTION ks_like(s text, pattern text, dialect text, esc text DEFAULT NULL)
  RETURNS boolean LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN esc IS NULL AND strpos(pattern, '[') = 0 THEN upper(s) LIKE upper(pattern) ESCAPE ''
              ELSE ks_like_classes(s, pattern, dialect, esc) END $$;
-- Date intervals by the runtime's letters (yyyy q m y d w ww h n s); the analyzer maps the
-- T-SQL part names to them.
CREATE OR REPLACE FUNCTION ks_dateadd(iv text, n double precision, d timestamp) RETURNS timestamp
  LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  k integer;
BEGIN
  IF n IS NULL OR d IS NULL THEN RETURN NULL; END IF;
  IF NOT abs(trunc(n)) < 4e6 THEN RAISE EXCEPTION 'Overflow' USING ERRCODE = '22003'; END IF;
  k := trunc(n)::integer;
  RETURN CASE lower(iv)
    WHEN 'yyyy' THEN d + make_interval(years => k)
    WHEN 'q' THEN d + make_interval(months => 3 * k)
    WHEN 'm' THEN d + make_interval(months => k)
    WHEN 'y' THEN d + make_interval(days => k)
    WHEN 'd' THEN d + make_interval(days => k)
    WHEN 'w' THEN d + make_interval(days => k)
    WHEN 'ww' THEN d + make_interval(days => 7 * k)
    WHEN 'h' THEN d + make_interval(hours => k)
    WHEN 'n' THEN d + make_interval(mins => k)
    WHEN 's' THEN d + make_interval(secs => k)
    ELSE d + ks_invalid() * interval '0' END;
END $$;
CREATE OR REPLACE FUNCTION ks_dateadd(iv text, n double precision, d text) RETURNS timestamp
  LANGUAGE sql STABLE AS $$ SELECT ks_dateadd(iv, n, ks_cdate(d)) $$;
-- Day numbers as the runtime counts them: days since 12/30/1899, a Saturday.
CREATE OR REPLACE FUNCTION ks_daynumber(d timestamp) RETURNS bigint LANGUAGE sql IMMUTABLE
  AS $$ SELECT (date_trunc('day', d)::date - date '1899-12-30')::bigint $$;
-- DateDiff: the boundaries of the interval crossed from a to b.
CREATE OR REPLACE FUNCTION ks_datediff(iv text, a timestamp, b timestamp) RETURNS bigint
  LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
  IF a IS NULL OR b IS NULL THEN RETURN NULL; END IF;
  RETURN CASE lower(iv)
    WHEN 'yyyy' THEN extract(year FROM b) - extract(year FROM a)
    WHEN 'q' THEN (extract(year FROM b) * 4 + (extract(month FROM b) - 1)::integer / 3)
                - (extract(year FROM a) * 4 + (extract(month FROM a) - 1)::integer / 3)
    WHEN 'm' THEN (extract(year FROM b) * 12 + extract(month FROM b))
                - (extract(year FROM a) * 12 + extract(month FROM a))
    WHEN 'y' THEN ks_daynumber(b) - ks_daynumber(a)
    WHEN 'd' THEN ks_daynumber(b) - ks_daynumber(a)
    WHEN 'w' THEN (ks_daynumber(b) - ks_daynumber(a)) / 7
    WHEN 'ww' THEN floor((ks_daynumber(b) + 6) / 7.0) - floor((ks_daynumber(a) + 6) / 7.0)
    WHEN 'h' THEN floor(extract(epoch FROM b) / 3600) - floor(extract(epoch FROM a) / 3600)
    WHEN 'n' THEN floor(extract(epoch FROM b) / 60) - floor(extract(epoch FROM a) / 60)
    WHEN 's' THEN extract(epoch FROM b) - extract(epoch FROM a)
    ELSE ks_invalid() END;
END $$;
CREATE OR REPLACE FUNCTION ks_datediff(iv text, a text, b text) RETURNS bigint LANGUAGE sql STABLE
  AS $$ SELECT ks_datediff(iv, ks_cdate(a), ks_cdate(b)) $$;
CREATE OR REPLACE FUNCTION ks_datepart(iv text, d timestamp) RETURNS integer LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  jan1 timestamp;
BEGIN
  IF d IS NULL THEN RETURN NULL; END IF;
  jan1 := date_trunc('year', d);
  RETURN CASE lower(iv)
    WHEN 'yyyy' THEN extract(year FROM d)
    WHEN 'q' THEN extract(quarter FROM d)
    WHEN 'm' THEN extract(month FROM d)
    WHEN 'y' THEN extract(doy FROM d)
    WHEN 'd' THEN extract(day FROM d)
    WHEN 'w' THEN extract(dow FROM d) + 1
    -- Week 1 holds January 1; weeks start on Sunday.
    WHEN 'ww' THEN (ks_daynumber(d) - ks_daynumber(jan1) + extract(dow FROM jan1)::integer) / 7 + 1
    WHEN 'h' THEN extract(hour FROM d)
    WHEN 'n' THEN extract(minute FROM d)
    WHEN 's' THEN floor(extract(second FROM d))
    ELSE ks_invalid() END;
END $$;
CREATE OR REPLACE FUNCTION ks_datepart(iv text, d text) RETURNS integer LANGUAGE sql STABLE
  AS $$ SELECT ks_datepart(iv, ks_cdate(d)) $$;
CREATE OR REPLACE FUNCTION ks_datename(iv text, d timestamp) RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE lower(iv) WHEN 'm' THEN to_char(d, 'FMMonth') WHEN 'w' THEN to_char(d, 'FMDay')
                        ELSE ks_datepart(iv, d)::text END $$;
CREATE OR REPLACE FUNCTION ks_datename(iv text, d text) RETURNS text LANGUAGE sql STABLE
  AS $$ SELECT ks_datename(iv, ks_cdate(d)) $$;
-- DateSerial: months and days beyond their range carry into the next unit.
CREATE OR REPLACE FUNCTION ks_dateserial(y double precision, m double precision, d double precision)
  RETURNS timestamp LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
  IF y IS NULL OR m IS NULL OR d IS NULL THEN RETURN NULL; END IF;
  IF NOT (abs(round(y)) <= 32767 AND abs(round(m)) <= 32767 AND abs(round(d)) <= 32767) THEN
    RAISE EXCEPTION 'Overflow' USING ERRCODE = '22003';
  END IF;
  RETURN make_date(round(y)::integer, 1, 1)
         + make_interval(months => round(m)::integer - 1, days => round(d)::integer - 1);
EXCEPTION WHEN datetime_field_overflow OR invalid_datetime_format OR invalid_parameter_value THEN
  RAISE EXCEPTION 'Invalid procedure call or argument' USING ERRCODE = '22023';
END $$;
-- REPLICATE, capped as the old server capped a text (8000 bytes); a negative count is NULL.
CREATE OR REPLACE FUNCTION ks_replicate(s text, n bigint) RETURNS text LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT CASE WHEN n < 0 THEN NULL WHEN s = '' THEN ''
              ELSE repeat(s, least(n, 8000 / octet_length(s))::integer) END $$;
CREATE OR REPLACE FUNCTION ks_strcomp(a text, b text, cmp integer) RETURNS integer LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT CASE WHEN x < y THEN -1 WHEN x > y THEN 1 ELSE 0 END
  FROM (SELECT CASE WHEN cmp <> 0 THEN upper(a) ELSE a END COLLATE "C" AS x,
               CASE WHEN cmp <> 0 THEN upper(b) ELSE b END COLLATE "C" AS y) AS t $$;
-- Val: the leading number of a text, blanks ignored, 0 when there is none.
CREATE OR REPLACE FUNCTION ks_val(v text) RETURNS double precision LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  t text;
  m text;
BEGIN
  IF v IS NULL THEN RAISE EXCEPTION 'Invalid use of Null' USING ERRCODE = '22004'; END IF;
  t := regexp_replace(v, '[ \t\n\r]', '', 'g');
  m := substring(t FROM '^[+-]?(?:[0-9]*\.[0-9]+|[0-9]+)(?:[eEdD][+-]?[0-9]+)?');
  IF m IS NULL THEN m := substring(t FROM '^[+-]?[0-9]+'); END IF;
  IF m IS NULL THEN RETURN 0; END IF;
  RETURN translate(m, 'dD', 'ee')::double precision;
EXCEPTION WHEN numeric_value_out_of_range OR invalid_text_representation THEN
  RETURN 0;
END $$;
CREATE OR REPLACE FUNCTION ks_val(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE
  AS $$ SELECT v $$;
-- IsNumeric and IsDate answer `truth` (Jet's -1, the old server's 1) or 0.
CREATE OR REPLACE FUNCTION ks_isnumeric(v text, kind text, truth integer) RETURNS integer
  LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN v IS NULL THEN 0
              WHEN kind IN ('N', 'B') THEN truth
              WHEN btrim(v) ~ '^[+-]?\$?[+-]?(?:[0-9][0-9,]*\.?[0-9]*|\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?$' THEN truth
              ELSE 0 END $$;
CREATE OR REPLACE FUNCTION ks_isnumeric(v double precision, kind text, truth integer) RETURNS integer
  LANGUAGE sql IMMUTABLE AS $$ SELECT CASE WHEN v IS NULL THEN 0 ELSE truth END $$;
CREATE OR REPLACE FUNCTION ks_isdate(v text, kind text, truth integer) RETURNS integer
  LANGUAGE plpgsql STABLE AS $$
BEGIN
  IF v IS NULL THEN RETURN 0; END IF;
  PERFORM ks_cdate(v);
  RETURN truth;
EXCEPTION WHEN others THEN
  RETURN 0;
END $$;
CREATE OR REPLACE FUNCTION ks_isdate(v timestamp, kind text, truth integer) RETURNS integer
  LANGUAGE sql IMMUTABLE AS $$ SELECT CASE WHEN v IS NULL THEN 0 ELSE truth END $$;
-- Conversions (Jet's cint, clng, cdbl, csng, cbool, ccur, cstr, cvar and T-SQL CAST and
-- CONVERT to a type name, with CONVERT's date styles). The value comes as exactly one of
-- s, n, d, b (its kind); the answer is text the recordset reads as the analyzer's kind:
-- numbers in plain decimals, dates as ISO text, Booleans as true/false.
CREATE OR REPLACE FUNCTION ks_convert_value(target text, s text, n double precision, d timestamp,
    b boolean, style integer) RETURNS text LANGUAGE plpgsql STABLE AS $$
DECLARE
  t text := lower(btrim(target));
  base text := split_part(lower(btrim(target)), '(', 1);
  v double precision;
  limit_ integer;
  out text;
  h integer;
BEGIN
  IF s IS NULL AND n IS NULL AND d IS NULL AND b IS NULL THEN RETURN NULL; END IF;
  IF t = 'cvar' OR t = 'cstr' THEN
    -- ks_text writes NULL as '', so the value's own kind picks the one to ask.
    RETURN CASE WHEN s IS NOT NULL THEN s WHEN n IS NOT NULL THEN ks_text(n)
                WHEN d IS NOT NULL THEN ks_text(d) ELSE ks_text(b) END;
  END IF;
  IF t IN ('cint', 'clng', 'cdbl', 'csng', 'ccur', 'cbool') THEN
    IF s IS NOT NULL THEN
      IF t = 'cbool' AND lower(btrim(s)) IN ('true', 'false') THEN RETURN lower(btrim(s)); END IF;
      IF btrim(s) !~ '^[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?$' THEN
        RAISE EXCEPTION 'Type mismatch' USING ERRCODE = '22018';
      END IF;
      v := btrim(s)::double precision;
    ELSE
      v := coalesce(n, ks_daynumber(d) + extract(epoch FROM d - date_trunc('day', d)) / 86400,
                    CASE WHEN b THEN -1 ELSE 0 END);
    END IF;
    IF t = 'cbool' THEN RETURN CASE WHEN v <> 0 THEN 'true' ELSE 'false' END; END IF;
    IF t = 'cdbl' OR t = 'csng' THEN RETURN v::text; END IF;
    IF t = 'ccur' THEN RETURN round(v::numeric, 4)::text; END IF;
    v := round(v);  -- half to even, as the runtime rounds
    IF (t = 'cint' AND NOT v BETWEEN -32768 AND 32767) OR NOT v BETWEEN -2147483648 AND 2147483647 THEN
      RAISE EXCEPTION 'Overflow' USING ERRCODE = '22003';
    END IF;
    RETURN v::bigint::text;
  END IF;
  IF base IN ('int', 'integer', 'smallint', 'tinyint', 'bigint') THEN
    IF s IS NOT NULL THEN
      IF btrim(s) !~ '^([+-]?[0-9]+)?$' THEN
        RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type int.', s
          USING ERRCODE = '22018';
      END IF;
      v := coalesce(nullif(btrim(s), '')::double precision, 0);
    ELSIF d IS NOT NULL THEN
      v := floor(ks_daynumber(d) + extract(epoch FROM d - date_trunc('day', d)) / 86400 + 0.5) - 2;
    ELSE
      v := trunc(coalesce(n, CASE WHEN b THEN 1 ELSE 0 END));
    END IF;
    IF (base IN ('int', 'integer') AND NOT v BETWEEN -2147483648 AND 2147483647)
       OR (base = 'smallint' AND NOT v BETWEEN -32768 AND 32767)
       OR (base = 'tinyint' AND NOT v BETWEEN 0 AND 255) OR abs(v) > 9.2e18 THEN
      RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type int.' USING ERRCODE = '22003';
    END IF;
    RETURN v::bigint::text;
  END IF;
  IF base = 'bit' THEN
    IF lower(btrim(s)) IN ('true', 'false') THEN RETURN lower(btrim(s)); END IF;
    v := coalesce(ks_number(s), n, CASE WHEN b THEN 1 ELSE 0 END);
    RETURN CASE WHEN v <> 0 THEN 'true' ELSE 'false' END;
  END IF;
  IF base IN ('float', 'real', 'decimal', 'numeric', 'money', 'smallmoney') THEN
    IF s IS NOT NULL THEN
      IF btrim(s) !~ '^[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?$' THEN
        RAISE EXCEPTION 'Error converting data type varchar to numeric.' USING ERRCODE = '22018';
      END IF;
      v := btrim(s)::double precision;
    ELSE
      v := coalesce(n, ks_daynumber(d) + 2, CASE WHEN b THEN 1 ELSE 0 END);
    END IF;
    IF base IN ('money', 'smallmoney') THEN RETURN round(v::numeric, 4)::text; END IF;
    IF base IN ('decimal', 'numeric') THEN
      RETURN round(v::numeric, least(greatest(coalesce(nullif(substring(t FROM ',\s*([0-9]+)'), '')::integer, 0), 0), 15))::text;
    END IF;
    RETURN v::text;
  END IF;
  IF base IN ('datetime', 'smalldatetime', 'date', 'datetime2') THEN
    IF s IS NOT NULL THEN
      BEGIN
        IF btrim(s) ~ '^[0-9]{8}$' THEN
          d := to_timestamp(btrim(s), 'YYYYMMDD')::timestamp;
        ELSIF style = 103 THEN
          d := ks_cdate(regexp_replace(btrim(s), '^([^/]*)/([^/]*)/', '\2/\1/'));
        ELSE
          d := ks_cdate(s);
        END IF;
      EXCEPTION WHEN others THEN
        RAISE EXCEPTION 'Conversion failed when converting date and/or time from character string.'
          USING ERRCODE = '22007';
      END;
    ELSIF n IS NOT NULL OR b IS NOT NULL THEN
      d := timestamp '1900-01-01' + coalesce(n, CASE WHEN b THEN 1 ELSE 0 END) * interval '1 day';
    END IF;
    IF base = 'date' THEN d := date_trunc('day', d); END IF;
    RETURN to_char(d, 'YYYY-MM-DD HH24:MI:SS');
  END IF;
  IF base NOT IN ('varchar', 'nvarchar', 'char', 'nchar', 'text', 'ntext') THEN
    RAISE EXCEPTION 'Conversion to type ''%'' is not supported', target USING ERRCODE = '0A000';
  END IF;
  IF d IS NOT NULL THEN
    h := extract(hour FROM d)::integer % 12;
    out := CASE coalesce(style, 0)
      WHEN 101 THEN to_char(d, 'MM/DD/YYYY')
      WHEN 103 THEN to_char(d, 'DD/MM/YYYY')
      WHEN 112 THEN to_char(d, 'YYYYMMDD')
      WHEN 120 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS')
      WHEN 121 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS') || '.000'
      WHEN 0 THEN to_char(d, 'Mon ') || lpad(extract(day FROM d)::text, 2) || to_char(d, ' YYYY ')
                  || lpad(CASE WHEN h = 0 THEN 12 ELSE h END::text, 2) || to_char(d, ':MIAM')
      WHEN 100 THEN to_char(d, 'Mon ') || lpad(extract(day FROM d)::text, 2) || to_char(d, ' YYYY ')
                  || lpad(CASE WHEN h = 0 THEN 12 ELSE h END::text, 2) || to_char(d, ':MIAM')
      END;
    IF out IS NULL THEN
      RAISE EXCEPTION 'CONVERT style % is not supported', style USING ERRCODE = '0A000';
    END IF;
  ELSIF b IS NOT NULL THEN
    out := CASE WHEN b THEN '1' ELSE '0' END;
  ELSE
    out := coalesce(s, ks_text(n));
  END IF;
  limit_ := nullif(substring(t FROM '^[a-z]+\(\s*([0-9]+)'), '')::integer;
  RETURN CASE WHEN limit_ IS NULL THEN out ELSE left(out, limit_) END;
END $$;
CREATE OR REPLACE FUNCTION ks_convert(target text, x text, kind text, style integer) RETURNS text
  LANGUAGE sql STABLE AS $$
  SELECT CASE WHEN kind = 'N' AND btrim(x) ~ '^[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?$'
              THEN ks_convert_value(target, NULL, btrim(x)::double precision, NULL, NULL, style)
              ELSE ks_convert_value(target, x, NULL, NULL, NULL, style) END $$;
CREATE OR REPLACE FUNCTION ks_convert(target text, x double precision, kind text, style integer) RETURNS text
  LANGUAGE sql STABLE AS $$ SELECT ks_convert_value(target, NULL, x, NULL, NULL, style) $$;
CREATE OR REPLACE FUNCTION ks_convert(target text, x timestamp, kind text, style integer) RETURNS text
  LANGUAGE sql STABLE AS $$ SELECT ks_convert_value(target, NULL, NULL, x, NULL, style) $$;
CREATE OR REPLACE FUNCTION ks_convert(target text, x boolean, kind text, style integer) RETURNS text
  LANGUAGE sql STABLE AS $$ SELECT ks_convert_value(target, NULL, NULL, NULL, x, style) $$;
-- Format: the named formats, date patterns (y yy yyyy, m mm mmm mmmm, minutes after an
-- hour, d dd ddd dddd, h hh, n nn, s ss, q, w, ww, AM/PM am/pm A/P, "quoted" and \escaped
-- characters) and number patterns (0 # . , %), as the runtime formats.
CREATE OR REPLACE FUNCTION ks_fmt_number(x numeric, digits integer, lead boolean, grouped boolean)
  RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  t text := round(x, digits)::text;
  whole text := split_part(t, '.', 1);
  frac text := CASE WHEN position('.' IN t) > 0 THEN '.' || split_part(t, '.', 2) ELSE '' END;
BEGIN
  IF grouped THEN whole := regexp_replace(whole, '([0-9])(?=([0-9]{3})+$)', '\1,', 'g'); END IF;
  IF NOT lead AND whole IN ('0', '-0') AND frac <> '' THEN whole := left(whole, -1); END IF;
  RETURN whole || frac;
END $$;
CREATE OR REPLACE FUNCTION ks_format_date(d timestamp, f text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  lf text := lower(f);
  twelve boolean := position('am/pm' IN lower(f)) > 0 OR position('a/p' IN lower(f)) > 0;
  out text := '';
  i integer := 1;
  n integer := length(f);
  c text;
  run integer;
  hr integer := extract(hour FROM d)::integer;
  mi integer := extract(minute FROM d)::integer;
  after_hour boolean := FALSE;
  close_at integer;
BEGIN
  IF twelve THEN hr := CASE WHEN hr % 12 = 0 THEN 12 ELSE hr % 12 END; END IF;
  WHILE i <= n LOOP
    c := substr(lf, i, 1);
    run := 1;
    WHILE i + run <= n AND substr(lf, i + run, 1) = c LOOP run := run + 1; END LOOP;
    IF substr(lf, i, 5) = 'am/pm' THEN
      out := out || CASE WHEN extract(hour FROM d) < 12 THEN 'AM' ELSE 'PM' END;
      IF substr(f, i, 1) = 'a' THEN out := left(out, -2) || lower(right(out, 2)); END IF;
      i := i + 5;
      CONTINUE;
    END IF;
    IF substr(lf, i, 3) = 'a/p' THEN
      out := out || CASE WHEN extract(hour FROM d) < 12 THEN 'A' ELSE 'P' END;
      IF substr(f, i, 1) = 'a' THEN out := left(out, -1) || lower(right(out, 1)); END IF;
      i := i + 3;
      CONTINUE;
    END IF;
    IF c = '"' THEN
      close_at := position('"' IN substr(f, i + 1));
      IF close_at = 0 THEN out := out || substr(f, i + 1); i := n + 1;
      ELSE out := out || substr(f, i + 1, close_at - 1); i := i + close_at + 1; END IF;
      CONTINUE;
    END IF;
    IF c = '\' AND i < n THEN
      out := out || substr(f, i + 1, 1);
      i := i + 2;
      CONTINUE;
    END IF;
    out := out || CASE c
      WHEN 'y' THEN CASE WHEN run >= 3 THEN extract(year FROM d)::text
                         WHEN run = 2 THEN to_char(d, 'YY') ELSE extract(doy FROM d)::text END
      WHEN 'm' THEN CASE WHEN after_hour AND run <= 2 THEN CASE WHEN run = 2 THEN lpad(mi::text, 2, '0') ELSE mi::text END
                         WHEN run >= 4 THEN to_char(d, 'FMMonth') WHEN run = 3 THEN to_char(d, 'Mon')
                         WHEN run = 2 THEN to_char(d, 'MM') ELSE to_char(d, 'FMMM') END
      WHEN 'd' THEN CASE WHEN run >= 4 THEN to_char(d, 'FMDay') WHEN run = 3 THEN to_char(d, 'Dy')
                         WHEN run = 2 THEN to_char(d, 'DD') ELSE to_char(d, 'FMDD') END
      WHEN 'h' THEN CASE WHEN run >= 2 THEN lpad(hr::text, 2, '0') ELSE hr::text END
      WHEN 'n' THEN CASE WHEN run >= 2 THEN lpad(mi::text, 2, '0') ELSE mi::text END
      WHEN 's' THEN CASE WHEN run >= 2 THEN to_char(d, 'SS') ELSE to_char(d, 'FMSS') END
      WHEN 'q' THEN extract(quarter FROM d)::text
      WHEN 'w' THEN ks_datepart(CASE WHEN run >= 2 THEN 'ww' ELSE 'w' END, d)::text
      ELSE substr(f, i, run) END;
    IF c <> ' ' AND c <> ':' THEN after_hour := c = 'h'; END IF;
    i := i + run;
  END LOOP;
  RETURN out;
END $$;
CREATE OR REPLACE FUNCTION ks_format_number(v double precision, f text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  first integer := nullif(position('0' IN f), 0);
  last integer;
  body text;
  prefix text;
  suffix text;
  whole text;
  fraction text;
  shown integer;
  most integer;
  zeros integer;
  grouped boolean;
  t text;
  dot integer;
BEGIN
  first := least(first, nullif(position('#' IN f), 0));
  IF first IS NULL THEN RETURN f; END IF;
  last := length(f) - least(nullif(position('0' IN reverse(f)), 0), nullif(position('#' IN reverse(f)), 0)) + 1;
  body := substr(f, first, last - first + 1);
  prefix := left(f, first - 1);
  suffix := substr(f, last + 1);
  IF position('%' IN prefix || suffix) > 0 THEN v := v * 100; END IF;
  whole := split_part(body, '.', 1);
  fraction := CASE WHEN position('.' IN body) > 0 THEN substr(body, position('.' IN body) + 1) ELSE '' END;
  shown := length(fraction) - length(replace(fraction, '0', ''));
  most := shown + length(fraction) - length(replace(fraction, '#', ''));
  zeros := length(whole) - length(replace(whole, '0', ''));
  grouped := position(',' IN whole) > 0;
  t := ks_fmt_number(abs(v)::numeric, most, zeros > 0, grouped);
  dot := position('.' IN t);
  IF dot > 0 THEN
    WHILE length(t) > dot + shown AND right(t, 1) = '0' LOOP t := left(t, -1); END LOOP;
    IF length(t) = dot THEN t := left(t, -1); END IF;
  END IF;
  dot := CASE WHEN position('.' IN t) > 0 THEN position('.' IN t) - 1 ELSE length(t) END;
  IF NOT grouped AND dot < zeros THEN t := repeat('0', zeros - dot) || t; END IF;
  IF zeros = 0 AND t LIKE '0.%' THEN t := substr(t, 2); END IF;
  RETURN CASE WHEN v < 0 AND t ~ '[1-9]' THEN '-' ELSE '' END || prefix || t || suffix;
END $$;
CREATE OR REPLACE FUNCTION ks_format_value(s text, n double precision, d timestamp, b boolean, f text)
  RETURNS text LANGUAGE plpgsql STABLE AS $$
DECLARE
  lf text := lower(f);
  t text := CASE WHEN s IS NOT NULL THEN s WHEN n IS NOT NULL THEN ks_text(n)
                 WHEN d IS NOT NULL THEN ks_text(d) ELSE ks_text(b) END;
  date_pattern boolean;
BEGIN
  IF s IS NULL AND n IS NULL AND d IS NULL AND b IS NULL THEN RETURN NULL; END IF;
  IF f IS NULL OR f = '' THEN RETURN t; END IF;
  IF s IS NOT NULL AND ks_isdate(s, 'S', 1) = 1 THEN d := ks_cdate(s); END IF;
  IF s IS NOT NULL AND ks_isnumeric(s, 'S', 1) = 1 THEN n := ks_val(s); END IF;
  IF b IS NOT NULL THEN n := CASE WHEN b THEN -1 ELSE 0 END; END IF;
  IF d IS NULL AND n IS NOT NULL AND abs(n) < 2958466 THEN
    IF lf IN ('general date', 'long date', 'medium date', 'short date', 'long time', 'medium time', 'short time')
       OR (lf ~ '[ymdhns]' AND f !~ '[0#]') THEN
      d := ks_cdate(n);
    END IF;
  END IF;
  IF n IS NULL AND d IS NOT NULL THEN n := ks_daynumber(d) + extract(epoch FROM d - date_trunc('day', d)) / 86400; END IF;
  CASE lf
    WHEN 'general date' THEN RETURN ks_text(d);
    WHEN 'long date' THEN RETURN ks_format_date(d, 'dddd, mmmm d, yyyy');
    WHEN 'medium date' THEN RETURN ks_format_date(d, 'd-mmm-yy');
    WHEN 'short date' THEN RETURN ks_format_date(d, 'm/d/yyyy');
    WHEN 'long time' THEN RETURN ks_format_date(d, 'h:nn:ss AM/PM');
    WHEN 'medium time' THEN RETURN ks_format_date(d, 'hh:nn AM/PM');
    WHEN 'short time' THEN RETURN ks_format_date(d, 'hh:nn');
    WHEN 'general number' THEN RETURN ks_text(n);
    WHEN 'currency' THEN
      RETURN CASE WHEN n < 0 AND round(n::numeric, 2) <> 0 THEN '($' || ks_fmt_number(abs(n)::numeric, 2, TRUE, TRUE) || ')'
                  ELSE '$' || ks_fmt_number(abs(n)::numeric, 2, TRUE, TRUE) END;
    WHEN 'fixed' THEN RETURN ks_fmt_number(n::numeric, 2, TRUE, FALSE);
    WHEN 'standard' THEN RETURN ks_fmt_number(n::numeric, 2, TRUE, TRUE);
    WHEN 'percent' THEN RETURN ks_fmt_number((n * 100)::numeric, 2, TRUE, TRUE) || '%';
    WHEN 'yes/no' THEN RETURN CASE WHEN n <> 0 THEN 'Yes' ELSE 'No' END;
    WHEN 'true/false' THEN RETURN CASE WHEN n <> 0 THEN 'True' ELSE 'False' END;
    WHEN 'on/off' THEN RETURN CASE WHEN n <> 0 THEN 'On' ELSE 'Off' END;
    ELSE NULL;
  END CASE;
  date_pattern := lf ~ '[ymdhns]' AND f !~ '[0#]';
  IF date_pattern AND d IS NOT NULL THEN RETURN ks_format_date(d, f); END IF;
  IF NOT date_pattern AND n IS NOT NULL THEN RETURN ks_format_number(n, f); END IF;
  RETURN t;
END $$;
CREATE OR REPLACE FUNCTION ks_format(v text, f text, kind text) RETURNS text LANGUAGE sql STABLE AS $$
  SELECT CASE WHEN kind = 'N' AND ks_isnumeric(v, 'S', 1) = 1 THEN ks_format_value(NULL, ks_val(v), NULL, NULL, f)
              ELSE ks_format_value(v, NULL, NULL, NULL, f) END $$;
CREATE OR REPLACE FUNCTION ks_format(v double precision, f text, kind text) RETURNS text LANGUAGE sql STABLE
  AS $$ SELECT ks_format_value(NULL, v, NULL, NULL, f) $$;
CREATE OR REPLACE FUNCTION ks_format(v timestamp, f text, kind text) RETURNS text LANGUAGE sql STABLE
  AS $$ SELECT ks_format_value(NULL, NULL, v, NULL, f) $$;
CREATE OR REPLACE FUNCTION ks_format(v boolean, f text, kind text) RETURNS text LANGUAGE sql STABLE
  AS $$ SELECT ks_format_value(NULL, NULL, NULL, v, f) $$;
-- Weekday(d, firstday): 1 for the first day of the week, Sunday (1) unless told.
CREATE OR REPLACE FUNCTION ks_weekday(d timestamp, first integer) RETURNS smallint LANGUAGE sql IMMUTABLE
  AS $$ SELECT ((extract(dow FROM d)::integer - (coalesce(first, 1) - 1) + 7) % 7 + 1)::smallint $$;
)sql";

// The pairs of argument types ks_concat and ks_add take besides (text, text).
constexpr const char* kScalarTypes[] = {"text", "double precision", "timestamp", "boolean"};

std::string Overloads() {
  std::string out;
  for (const char* a : kScalarTypes) {
    for (const char* b : kScalarTypes) {
      out += "CREATE OR REPLACE FUNCTION ks_concat(a " + std::string(a) + ", b " + b +
             ") RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT ks_text(a) || ks_text(b) $$;\n";
    }
  }
  // "+" adds unless both are texts; a date plus a number is a later date.
  for (const char* a : {"text", "double precision"}) {
    for (const char* b : {"text", "double precision"}) {
      if (std::string_view(a) == "text" && std::string_view(b) == "text") continue;
      out += "CREATE OR REPLACE FUNCTION ks_add(a " + std::string(a) + ", b " + b +
             ") RETURNS double precision LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT ks_number(a) + "
             "ks_number(b) $$;\n";
    }
  }
  out +=
      "CREATE OR REPLACE FUNCTION ks_add(a timestamp, b double precision) RETURNS timestamp "
      "LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT a + b * interval '1 day' $$;\n";
  return out;
}

// The listing procedures: the rows of the embedded procedures, by the same rules (an empty
// key leaves its level open, the year within the entry's range, active, not expired).
constexpr std::string_view kServerProcedures = R"sql(
CREATE VIEW ks_entry_listing AS
SELECT e.ID, e.Title, e.Summary, e.BodyText, e.Cost, e.sale_price, e.shipping_cost,
       e.mfg_part_number, e.cont_part_number, e.ImageThumbnail, e.Image1, e.beg_year,
       e.end_year, e.Link1, e.Link2, e.MiscParm1, e.MiscParm2, e.MiscParm3, e.MiscParm4,
       e.MiscParm5, e.clientID, e.DateTimeValue
FROM entries AS e;

CREATE OR REPLACE FUNCTION ks_key_matches(column_value integer, wanted text) RETURNS boolean
  LANGUAGE sql IMMUTABLE AS $$
  SELECT coalesce(wanted, '') = '' OR column_value::text = btrim(wanted) $$;

CREATE OR REPLACE FUNCTION ks_entries(cat text, sub1 text, sub2 text, sub3 text, sub4 text,
    sub5 text, sub6 text, year text, level text) RETURNS SETOF ks_entry_listing
  LANGUAGE sql STABLE AS $$
  SELECT l.* FROM ks_entry_listing AS l JOIN entries AS e ON e.ID = l.ID
  WHERE ks_key_matches(e.CategoryId, cat) AND ks_key_matches(e.SubcategoryId1, sub1)
    AND ks_key_matches(e.SubcategoryId2, sub2) AND ks_key_matches(e.SubcategoryId3, sub3)
    AND ks_key_matches(e.SubcategoryId4, sub4) AND ks_key_matches(e.SubcategoryId5, sub5)
    AND ks_key_matches(e.SubcategoryId6, sub6)
    AND (btrim(coalesce(year, '')) = ''
         OR (btrim(year) ~ '^-?[0-9]+$' AND btrim(year)::integer BETWEEN e.beg_year AND e.end_year))
    AND e.ActiveInd = 'Y'
    AND e.ExpireDate >= date_trunc('day', localtimestamp)
    AND (level IS NULL OR level <> '1' OR e.Level1PromotionFlag = 'Y')
  ORDER BY e.Title, e.ID $$;

CREATE OR REPLACE FUNCTION esp_sp_get_entries_list(cat text, sub1 text, sub2 text, sub3 text,
    sub4 text, sub5 text, sub6 text, year text) RETURNS SETOF ks_entry_listing
  LANGUAGE sql STABLE AS $$ SELECT * FROM ks_entries(cat, sub1, sub2, sub3, sub4, sub5, sub6, year, NULL) $$;

CREATE OR REPLACE FUNCTION esp_sp_get_entries_list_level(cat text, sub1 text, sub2 text,
    sub3 text, sub4 text, sub5 text, sub6 text, year text, level text) RETURNS SETOF ks_entry_listing
  LANGUAGE sql STABLE AS $$ SELECT * FROM ks_entries(cat, sub1, sub2, sub3, sub4, sub5, sub6, year, level) $$;
)sql";

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

// The embedded DDL with the server's types. The embedded schema is written in a small,
// fixed vocabulary (its column types and the two collations), which is all this handles;
// its procedure table is left out, the server has functions instead.
std::string ServerTables(std::string_view embedded) {
  std::string out;
  std::vector<std::string> keyed;
  std::string table;
  bool skipping = false;
  std::size_t start = 0;
  while (start < embedded.size()) {
    std::size_t end = embedded.find('\n', start);
    if (end == std::string_view::npos) end = embedded.size();
    std::string line(embedded.substr(start, end - start));
    start = end + 1;
    if (StartsWith(line, "CREATE TABLE ")) {
      std::size_t name_end = line.find_first_of(" (", 13);
      table = line.substr(13, name_end - 13);
      skipping = table == "ks_procedures";
    }
    if (skipping) {
      if (StartsWith(line, ");")) skipping = false;
      continue;
    }
    // The procedure rows close the embedded DDL.
    if (StartsWith(line, "INSERT INTO ks_procedures")) break;
    // Every text comparing without regard to case becomes citext, whatever its length.
    for (std::size_t at = line.find("VARCHAR("); at != std::string::npos; at = line.find("VARCHAR(", at)) {
      std::size_t close = line.find(')', at);
      std::size_t collate = line.find("COLLATE NOCASE", close);
      if (collate != std::string::npos && line.find_first_not_of(' ', close + 1) == collate) {
        line.replace(at, collate + 14 - at, "citext");
      } else {
        at = close;
      }
    }
    ReplaceAll(line, "TEXT COLLATE NOCASE", "citext");
    ReplaceAll(line, "PRIMARY KEY COLLATE NOCASE", "PRIMARY KEY");
    ReplaceAll(line, " COLLATE BINARY", "");
    if (line.find("INTEGER PRIMARY KEY") != std::string::npos) {
      ReplaceAll(line, "INTEGER PRIMARY KEY", "serial PRIMARY KEY");
      keyed.push_back(table);
    }
    ReplaceAll(line, "DEFAULT (replace(datetime('now', 'localtime'), ' 00:00:00', ''))",
               "DEFAULT localtimestamp(0)");
    ReplaceAll(line, "DATETIME", "timestamp(0)");
    ReplaceAll(line, " MONEY", " currency");
    ReplaceAll(line, " REAL", " double precision");
    ReplaceAll(line, " BIT", " boolean");
    out += line;
    out += '\n';
  }
  for (const std::string& t : keyed) {
    std::string bare = t;
    std::erase(bare, '"');
    out += "CREATE TRIGGER ks_key_" + bare + " BEFORE INSERT ON " + t +
           " FOR EACH ROW EXECUTE FUNCTION ks_key();\n";
  }
  return out;
}

}  // namespace

std::string ServerDdl(std::string_view embedded_ddl, bool catalogue) {
  std::string out(kServerPrelude);
  out += Overloads();
  out += ServerTables(embedded_ddl);
  if (catalogue) out += kServerProcedures;
  return out;
}

}  // namespace ksmain::schema
