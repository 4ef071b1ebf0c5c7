-- More demo badges for the balance files (MGDNL17P, MGDNL60P): balance texts that need
-- trimming and cutting, a badge with two balance rows, and a badge whose only access class is
-- too long for the fixed-width records but which keeps its time recording.

-- Columns: AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswSal, AswBk2,
--          AswSpr, AswPin, ASWMND, ASWLIZ, AswSta
INSERT INTO Kvd301Asw VALUES
  -- time recording on both terminals; its only access class LANG1 does not fit
  ('4730', date('now','localtime','-30 days'), NULL,
   '00004730', 'Z', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1),
  -- access class 10 on both terminals, two balance rows: the balance stays blank
  ('4731', date('now','localtime','-30 days'), NULL,
   '00004731', '10', 'PROD', NULL, 1, NULL, NULL, 1, NULL, 1, 1, 1);

INSERT INTO Kvd113Awv VALUES ('4730', 30, 1, 1), ('4731', 12, 1, 1);

INSERT INTO Kvd301Awb VALUES
  ('4730', 'Z'), ('4730', 'GL'), ('4730', 'LANG1'), ('4731', '10');

-- 4730: more than six digits (the first six are shown) and a tab before the digits.
INSERT INTO O2002TSW (TSWIDN, TswW01, TswW02, TswW09, TswF01) VALUES
  ('4730', 'X', '+1234567,8', '-' || char(9) || ' 7,25', 'Mehrarbeit'),
  ('4731', 'X', '+   1,00', '+   1,00', NULL),
  ('4731', 'X', '+   2,00', '+   2,00', NULL);
