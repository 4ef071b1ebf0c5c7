-- The demo installation: three working terminals and about three hundred badges, each special
-- badge showing one rule of the download files. Dates are relative to today, so the demo
-- shows the same picture whenever it is built.

-- Terminals -------------------------------------------------------------------------------
-- ZE-HAUPTEINGANG: time and access terminal with a badge display model, client assignments
-- and readers 1, 2, 3, 7, 9 and 12 (reader 5 is switched off).
-- ZE-KANTINE: display model whose slots 5 to 8 are not shown, no assignments.
-- ZU-LAGER: access terminal with readers 1 to 4, assignments all withdrawn (so: every badge).
-- ZE-ALT: withdrawn terminal (status 8): the tool finds no terminal row for it.
-- ZE-LEER: assigned to a client without badges.
INSERT INTO Kvd1140Trm VALUES
  ('ZE-HAUPTEINGANG', '7744-010', 'PERS', 1,    1, 1, 1),
  ('ZE-KANTINE',      '7598-002', 'KANT', NULL, 1, 1, 1),
  ('ZU-LAGER',        'ZK-40',    NULL,   1,    1, 1, 1),
  ('ZE-ALT',          '7744-010', 'PERS', 8,    1, 1, 1),
  ('ZE-LEER',         '7744-010', 'PERS', 1,    9, 9, 1);

INSERT INTO Kvd115Tfz VALUES
  ('ZE-HAUPTEINGANG', 1, 1, 1),
  ('ZE-HAUPTEINGANG', 2, 1, NULL),
  ('ZE-HAUPTEINGANG', 3, 1, 8),
  ('ZU-LAGER',        1, 1, 4),
  ('ZE-LEER',         9, 9, 1);

INSERT INTO Kvd401Zls VALUES
  ('ZE-HAUPTEINGANG', 1, 'Z1', 1), ('ZE-HAUPTEINGANG', 2, 'Z1', NULL),
  ('ZE-HAUPTEINGANG', 3, 'Z2', 1), ('ZE-HAUPTEINGANG', 5, 'Z2', 4),
  ('ZE-HAUPTEINGANG', 7, 'Z3', 1), ('ZE-HAUPTEINGANG', 9, 'Z3', 1),
  ('ZE-HAUPTEINGANG', 12, 'Z9', 1),
  ('ZE-KANTINE', 1, 'K', 1), ('ZE-KANTINE', 3, 'K', 1),
  ('ZU-LAGER', 1, 'L', 1), ('ZU-LAGER', 2, 'L', 1), ('ZU-LAGER', 3, 'L', 1),
  ('ZU-LAGER', 4, 'L', 1);

-- Authorisation classes: kind '1' time recording, '0' access.
INSERT INTO MGSST35P VALUES
  ('ZE-HAUPTEINGANG', 'Z', '1'), ('ZE-HAUPTEINGANG', 'GL', '1'),
  ('ZE-HAUPTEINGANG', '10', '0'), ('ZE-HAUPTEINGANG', '20', '0'),
  ('ZE-HAUPTEINGANG', '5', '0'), ('ZE-HAUPTEINGANG', 'A1', '0'),
  ('ZE-HAUPTEINGANG', 'LANG1', '0'),
  ('ZE-KANTINE', 'Z', '1'), ('ZE-KANTINE', 'K', '0'),
  ('ZU-LAGER', 'GL', '1'), ('ZU-LAGER', '10', '0'), ('ZU-LAGER', '30', '0');

-- Locations (the withdrawn 'Lager' row is not shown).
INSERT INTO Kvd113Sto VALUES
  (12, 'Büro Nord', 1), (4711, 'EG', NULL), (20, 'Lager', 4), (30, 'Halle 3', 1);

-- Special badges ------------------------------------------------------------------------
-- Columns: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal, AswBk2,
--          AswSpr, AswPin, ASWMND, ASWLIZ, AswSta
INSERT INTO Kvd301Asw VALUES
  -- three access classes and time recording, own display set, balances of both signs
  ('4711', date('now','localtime','-400 days'), date('now','localtime','+400 days'),
   '00004711', 'Z', 'VERW', 'Geschäftsführung', 1, 'CHEF', 'GL', 1, '4711', 1, 1, 1),
  -- time recording only, no first day, no location, no balance row
  ('4712', NULL, date('now','localtime','+30 days'),
   '00004712', 'Z', 'PROD', NULL, 2, NULL, NULL, NULL, NULL, 1, 1, NULL),
  -- two validity periods valid today
  ('4713', date('now','localtime','-100 days'), date('now','localtime','+100 days'),
   '00004713', 'A', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 2, 1, 1),
  ('4713', date('now','localtime','-50 days'), NULL,
   '00004713', 'B', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 2, 1, 1),
  -- no authorisation on any terminal
  ('4714', date('now','localtime','-10 days'), NULL,
   '00004714', 'X', 'GAST', NULL, 3, NULL, NULL, 1, NULL, 1, 1, 1),
  -- valid only from next week
  ('4715', date('now','localtime','+7 days'), NULL,
   '00004715', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- withdrawn badge (status 8)
  ('4716', date('now','localtime','-10 days'), NULL,
   '00004716', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 8),
  -- administration row withdrawn (code 8)
  ('4717', date('now','localtime','-10 days'), NULL,
   '00004717', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- client 3: only terminals without assignments list it
  ('4718', date('now','localtime','-10 days'), NULL,
   '00004718', 'Z', 'FREMD', NULL, 1, NULL, NULL, 1, NULL, 3, 1, 1),
  -- an access class too long for the fixed-width files
  ('4719', date('now','localtime','-10 days'), date('now','localtime','+10 days'),
   '00004719', '20', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- a badge number too long for the fixed-width files
  ('12345678901234', date('now','localtime','-10 days'), NULL,
   '00009999', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- no person number: never in the display file
  ('4720', date('now','localtime','-10 days'), NULL,
   NULL, 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- location 'EG' (two characters), location number 4711
  ('4721', date('now','localtime','-10 days'), NULL,
   '00004721', '10', 'LAGR', NULL, 4, NULL, '5', 2, '1234', 1, 1, 1),
  -- expired yesterday
  ('4722', date('now','localtime','-10 days'), date('now','localtime','-1 days'),
   '00004722', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);

INSERT INTO Kvd113Awv VALUES
  ('4711', 12, 1, 1), ('4712', NULL, 1, 1), ('4713', 30, NULL, 1), ('4714', 30, 1, 1),
  ('4715', 30, 1, 1), ('4716', 30, 1, 1), ('4717', 30, 8, 1), ('4718', 20, 1, 1),
  ('4719', 100000, 1, NULL), ('12345678901234', 30, 1, 1), ('4720', 30, 1, 1),
  ('4721', 4711, 1, 1), ('4722', 30, 1, 1);

INSERT INTO Kvd301Awb VALUES
  ('4711', 'Z'), ('4711', '10'), ('4711', '20'), ('4711', '5'), ('4711', '10'),
  ('4712', 'Z'), ('4713', '10'), ('4713', 'GL'), ('4718', 'Z'), ('4718', 'K'),
  ('4719', 'LANG1'), ('4719', '20'), ('12345678901234', '10'), ('4720', 'Z'),
  ('4720', 'K'), ('4721', '10'), ('4721', '30'), ('4721', 'A1'), ('4722', 'Z');

-- Balances: a sign character and up to nine characters of digits per value.
INSERT INTO O2002TSW (TSWIDN, TswW01, TswW02, TswW03, TswW09, TswW10, TswW16,
                      TswF01, TswF05, TswF10) VALUES
  ('4711', 'X', '-  12,50', '+   3,00', '+   8,00', '+ 125,75', '-1234567',
   'Überstunden', 'Resturlaub 2026: 12', 'Gleitzeit im Plus'),
  ('4713', 'X', '+  38,25', '+   0,50', '-   1,25', '+   0,00', '+      ',
   'Schicht früh', 'Resturlaub 2026: 3', NULL),
  ('4718', 'X', '+   1,00', NULL, '+   1,00', NULL, NULL, NULL, NULL, NULL),
  ('4721', 'X', '-  99,99', '+  10,00', '-   2,00', '+   4,50', '+   0,10',
   'Lager', 'Resturlaub 2026: 30', 'Stapler-Schein');

-- Three hundred ordinary badges of clients 1 and 2 -------------------------------------
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO Kvd301Asw
SELECT printf('%d', 100000 + i),
       date('now','localtime', printf('-%d days', 1 + i % 700)),
       CASE WHEN i % 3 = 0 THEN NULL ELSE date('now','localtime', printf('+%d days', 1 + i % 500)) END,
       printf('%08d', 100000 + i),
       CASE i % 4 WHEN 0 THEN 'Z' WHEN 1 THEN 'GL' WHEN 2 THEN '10' ELSE NULL END,
       'MA', NULL, 1 + i % 3, NULL, NULL, 1 + i % 2,
       CASE WHEN i % 5 = 0 THEN printf('%04d', i * 7 % 10000) ELSE NULL END,
       1 + i % 2, 1, 1
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO Kvd113Awv
SELECT printf('%d', 100000 + i), CASE i % 4 WHEN 0 THEN 12 WHEN 1 THEN 30 WHEN 2 THEN NULL ELSE 4711 END,
       1, 1
FROM n;

-- Classes: a time class for most, zero to three access classes.
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO Kvd301Awb
SELECT printf('%d', 100000 + i), 'Z' FROM n WHERE i % 7 <> 0
UNION ALL SELECT printf('%d', 100000 + i), 'GL' FROM n WHERE i % 5 = 0
UNION ALL SELECT printf('%d', 100000 + i), '10' FROM n WHERE i % 2 = 0
UNION ALL SELECT printf('%d', 100000 + i), '20' FROM n WHERE i % 3 = 0
UNION ALL SELECT printf('%d', 100000 + i), '30' FROM n WHERE i % 4 = 1
UNION ALL SELECT printf('%d', 100000 + i), 'K' FROM n WHERE i % 6 = 0;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO O2002TSW (TSWIDN, TswW01, TswW02, TswW09, TswW10, TswF01, TswF05)
SELECT printf('%d', 100000 + i), 'X',
       replace(printf('%s%6.2f', CASE WHEN i % 3 = 0 THEN '-' ELSE '+' END, (i * 37 % 5000) / 100.0), '.', ','),
       replace(printf('%s%6.2f', CASE WHEN i % 4 = 0 THEN '-' ELSE '+' END, (i * 11 % 900) / 100.0), '.', ','),
       replace(printf('+%6.2f', (i * 13 % 3000) / 100.0), '.', ','),
       'Gleitzeit', printf('Resturlaub 2026: %d', i % 30)
FROM n WHERE i % 5 <> 0;

-- Display texts ---------------------------------------------------------------------------
-- List 220001: labels; list 220002: value codes ("#W1" today's date, "#W2".."#W16" balances,
-- "#W21".."#W30" information texts). Language 1 German, 2 English.
INSERT INTO Kvd102Whl VALUES
  (220001, 1, 1, 'Datum', NULL), (220001, 2, 1, 'Saldo', NULL),
  (220001, 3, 1, 'Urlaub', NULL), (220001, 4, 1, 'Gleitzeit', NULL),
  (220001, 5, 1, 'Ma&#241;ana-Saldo', NULL), (220001, 6, 1, 'Überstundenkonto1', NULL),
  (220001, 7, 1, 'Info', NULL), (220001, 8, 1, 'Resturlaub', NULL),
  (220001, 1, 2, 'Date', NULL), (220001, 2, 2, 'Balance', NULL),
  (220001, 4, 2, 'Flexitime', NULL), (220001, 5, 2, 'Ma&#241;ana', NULL),
  (220002, 1, 1, NULL, '#W1'), (220002, 2, 1, NULL, '#W2'), (220002, 3, 1, NULL, '#W9'),
  (220002, 4, 1, NULL, '#W10'), (220002, 5, 1, NULL, '#W21'), (220002, 6, 1, NULL, '#W25'),
  (220002, 7, 1, NULL, 'XYZ'), (220002, 8, 1, NULL, '#W30'), (220002, 9, 1, NULL, '#W16'),
  (220002, 1, 2, NULL, '#W1'), (220002, 2, 2, NULL, '#W2'), (220002, 4, 2, NULL, '#W10');

-- Columns: MsdSal, MsdLfd, MsdSpl, MsdTxt, MsdMnd, MsdLiz, MSDERF, MsdAnz, MsdWrt, MsdSta
INSERT INTO Kvd119Msd VALUES
  -- the main entrance's set: date, balances, a right-shifted label with the entity, a long
  -- information text, an unknown code and a second date slot
  ('PERS', 1, NULL, NULL,           1, 1, 'ADMIN',   1, 1, 1),
  ('PERS', 2, 1,    NULL,           1, 1, 'ADMIN',   2, 2, 1),
  ('PERS', 3, NULL, 'Urlaub   ',    1, 1, 'ADMIN',   3, 3, 1),
  ('PERS', 4, NULL, '   ',          1, 1, 'ADMIN',   4, 4, NULL),
  ('PERS', 5, 2,    NULL,           7, 7, 'KORVANE', 5, 4, 1),
  ('PERS', 6, NULL, NULL,           1, 1, 'ADMIN',   6, 6, 1),
  ('PERS', 7, 2,    'Hinweis',      1, 1, 'ADMIN',   7, 7, 1),
  ('PERS', 8, 2,    NULL,           1, 1, 'ADMIN',   1, 1, 1),
  ('PERS', 9, NULL, 'Zeile 9',      1, 1, 'ADMIN',   7, 9, 1),
  -- the canteen's set: slots 5 to 8 are never shown on its model
  ('KANT', 1, NULL, 'Guthaben',     1, 1, 'ADMIN',   2, 2, 1),
  ('KANT', 2, NULL, NULL,           1, 1, 'ADMIN',   1, 1, 1),
  ('KANT', 5, NULL, 'Nicht sichtbar', 1, 1, 'ADMIN', 2, 2, 1),
  -- the managers' own set: the badge variant keeps the entity's characters
  ('CHEF', 1, NULL, 'Chef-Saldo',   1, 1, 'ADMIN',   2, 2, 1),
  ('CHEF', 2, NULL, NULL,           1, 1, 'ADMIN',   5, 4, 1),
  ('CHEF', 4, NULL, NULL,           1, 1, 'ADMIN',   1, 1, 1),
  ('CHEF', 6, 2,    'Resturlaub',   1, 1, 'ADMIN',   8, 6, 1);
