-- Statements Oracle refuses to parse, each a fault that a statement of ours could plausibly
-- carry (most are accepted by the embedded database or another server). check-oracle-grammar.sh
-- parses them with the listed statements: every one must be rejected, or the check fails.
-- a select without FROM
select AswNum ,AswSal where AswNum=:b0
/
-- a FROM without a table
select AswNum from where AswNum=:b0
/
-- a comma before FROM
select AswNum ,AswSal , from Korvadat.Kvd301Asw where AswNum=:b0
/
-- an opening parenthesis never closed
select AswNum from Korvadat.Kvd301Asw where ((AswNum=:b0 and AswSal=1)
/
-- a closing parenthesis too many
select AswNum from Korvadat.Kvd301Asw where (AswNum=:b0 and AswSal=1))
/
-- a condition ended by AND
select AswNum from Korvadat.Kvd301Asw where AswNum=:b0 and
/
-- LIMIT, which only the embedded database and others take
select AswNum from Korvadat.Kvd301Asw where AswNum>=:b0 order by AswNum limit 1000
/
-- == for equality, which only the embedded database takes
select AswNum from Korvadat.Kvd301Asw where AswNum==:b0
/
-- AS before a table alias, which Oracle takes only before a column alias
select a.AswNum from Korvadat.Kvd301Asw as a where a.AswNum=:b0
/
-- TOP, another server's row limit
select top 10 AswNum from Korvadat.Kvd301Asw where AswNum>=:b0
/
-- ILIKE, another server's case-blind LIKE
select AswNum from Korvadat.Kvd301Asw where AswNum ilike :b0
/
-- INSERT OR REPLACE, the embedded database's upsert
insert or replace into Korvadat.Kvd301Asw (AswNum) values (:b0)
/
-- a bind written ?, the ODBC marker, which the server does not take
select AswNum from Korvadat.Kvd301Asw where AswNum=?
/
-- a ; at the end, which ODBC sends to the server (ORA-00911)
select AswNum from Korvadat.Kvd301Asw where AswNum=:b0;
/
-- two statements in one text
select AswNum from Korvadat.Kvd301Asw where AswNum=:b0 select AswSal from Korvadat.Kvd301Asw
/
-- a string never closed
select AswNum from Korvadat.Kvd301Asw where AswNum='4711
/
