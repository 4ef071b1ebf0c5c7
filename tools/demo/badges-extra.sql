-- More demo badges for the badge master file and the access file: values that would break a
-- master-file line, a location without short text, a badge without type and a badge whose
-- only access class is too long for the access file. All of client 1, so every terminal
-- lists them.

INSERT INTO MGSST35P VALUES ('ZE-HAUPTEINGANG', 'ABCD', '0');

-- Location 40 has no short text: the access file shows blanks there.
INSERT INTO Kvd113Sto VALUES (40, NULL, 1);

-- Columns: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal, AswBk2,
--          AswSpr, AswPin, ASWMND, ASWLIZ, AswSta
INSERT INTO Kvd301Asw VALUES
  -- a PIN holding a double quote: kept out of the master file, in the access file as usual
  ('4730', date('now','localtime','-10 days'), NULL,
   '00004730', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, 'ab"c', 1, 1, 1),
  -- no badge type, location without short text
  ('4731', date('now','localtime','-10 days'), date('now','localtime','+10 days'),
   '00004731', 'Z', 'PROD', NULL, NULL, NULL, NULL, 1, NULL, 1, 1, 1),
  -- only access class is four characters long: not in the access file
  ('4732', date('now','localtime','-10 days'), NULL,
   '00004732', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- a badge number so long that its master-file line would exceed 255 characters
  ('LANG-' || printf('%0120d', 4733), date('now','localtime','-10 days'), NULL,
   '00004733', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);

INSERT INTO Kvd113Awv VALUES
  ('4730', 30, 1, 1), ('4731', 40, 1, 1), ('4732', 30, 1, 1),
  ('LANG-' || printf('%0120d', 4733), 30, 1, 1);

INSERT INTO Kvd301Awb VALUES
  ('4730', 'Z'), ('4730', '10'), ('4731', '10'), ('4732', 'ABCD'),
  ('LANG-' || printf('%0120d', 4733), 'Z');
