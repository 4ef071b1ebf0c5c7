-- The installation's tables as the download tool reads them, for the embedded SQLite database.
-- Only the tables and columns that the tool's statements name; Oracle types in the comments.
-- DATE columns hold ISO text 'YYYY-MM-DD' (optionally ' HH:MM:SS'), so that they compare with
-- the emulated trunc(SYSDATE) exactly as Oracle dates do. Text is UTF-8; the tool hands it to
-- the terminals as Windows-1252.

-- Pages of 16 KiB instead of SQLite's 4 KiB: a run reads its tables and indexes in badge-number
-- order, and larger pages take a quarter of the reads and fewer tree levels per search. This
-- only takes effect in a new, empty file.
PRAGMA page_size = 16384;

-- Terminals. TrmSta 4 or 8 marks a terminal as deleted or locked.
CREATE TABLE IF NOT EXISTS Kvd1140Trm (
  TrmNam TEXT NOT NULL,   -- VARCHAR2: terminal name, as given on the command line
  TRMMOD TEXT,            -- VARCHAR2(10): terminal model, e.g. '7744-010'
  TRMSAL TEXT,            -- VARCHAR2(10): display-text set of the terminal
  TrmSta INTEGER,         -- NUMBER: status
  TrmMnd INTEGER,         -- NUMBER: client
  TrmLiz INTEGER,         -- NUMBER: licence
  TrmSpr INTEGER          -- NUMBER: language of the display texts
);
CREATE INDEX IF NOT EXISTS Kvd1140Trm_Nam ON Kvd1140Trm (TrmNam);

-- Client/licence assignments of a terminal: with any, it lists only those clients' badges.
CREATE TABLE IF NOT EXISTS Kvd115Tfz (
  TfzTrm TEXT NOT NULL,   -- VARCHAR2: terminal name
  TFZMND INTEGER,         -- NUMBER: client
  TFZLIZ INTEGER,         -- NUMBER: licence
  TfzSta INTEGER          -- NUMBER: status
);
CREATE INDEX IF NOT EXISTS Kvd115Tfz_Trm ON Kvd115Tfz (TfzTrm, TFZMND, TFZLIZ);

-- Badges, one row per badge number and validity period.
CREATE TABLE IF NOT EXISTS Kvd301Asw (
  AswNum TEXT NOT NULL,   -- VARCHAR2: badge number
  AswGvo TEXT,            -- DATE: first day of validity
  AswGbi TEXT,            -- DATE: last day of validity
  AswPnr TEXT,            -- VARCHAR2(8): person number
  AswBkl TEXT,            -- VARCHAR2(5): the badge's own authorisation class
  AswGrp TEXT,            -- VARCHAR2(5): group
  AswAan TEXT,            -- VARCHAR2(50): notice text
  AswAtp INTEGER,         -- NUMBER: badge type
  AswSal TEXT,            -- VARCHAR2(10): display-text set of the badge
  AswBk2 TEXT,            -- VARCHAR2(5): second class
  AswSpr INTEGER,         -- NUMBER: language
  AswPin TEXT,            -- VARCHAR2(32): PIN
  ASWMND INTEGER,         -- NUMBER: client
  ASWLIZ INTEGER,         -- NUMBER: licence
  AswSta INTEGER          -- NUMBER: status
);
CREATE INDEX IF NOT EXISTS Kvd301Asw_Num ON Kvd301Asw (AswNum, AswGvo, AswBkl);
-- Covers the badge's validity rows as the display texts read them per badge (dates, status, set
-- and language), so that those statements do not visit the table; it keeps the order of
-- Kvd301Asw_Num.
CREATE INDEX IF NOT EXISTS Kvd301Asw_Sets ON Kvd301Asw
  (AswNum, AswGvo, AswBkl, AswGbi, AswSta, AswSal, AswSpr);
-- The badge list in Oracle's order, NULLs last, as the embedded database is asked for it
-- ("AswNum IS NULL,AswNum,AswGvo IS NULL,AswGvo,..."): read in index order, not sorted per badge.
-- It holds every column the list reads, so that the list never visits the table: where the rows
-- were stored as they came over the years, each visit is a page anywhere in the file. Rows equal
-- in badge, start and class still come in the order they were stored (the list asks for that),
-- not in that of the further columns. It replaces the narrower Kvd301Asw_List of earlier
-- installations.
DROP INDEX IF EXISTS Kvd301Asw_List;
CREATE INDEX IF NOT EXISTS Kvd301Asw_Listed ON Kvd301Asw
  (AswNum IS NULL, AswNum, AswGvo IS NULL, AswGvo, AswBkl IS NULL, AswBkl,
   AswGbi, AswSta, AswSal, AswSpr, AswPnr, AswGrp, AswAan, AswAtp, AswBk2, AswPin, ASWMND, ASWLIZ);

-- Administration row of a badge: its location and code.
CREATE TABLE IF NOT EXISTS Kvd113Awv (
  AWVNUM TEXT NOT NULL,   -- VARCHAR2: badge number
  AwvSto INTEGER,         -- NUMBER(8): location number
  AWVCOD INTEGER,         -- NUMBER: code, 8 = withdrawn
  AwvSta INTEGER          -- NUMBER: status
);
-- Covers every column the badge list and the location lookup read, so neither visits the table.
CREATE INDEX IF NOT EXISTS Kvd113Awv_Num ON Kvd113Awv (AWVNUM, AwvSto, AWVCOD, AwvSta);

-- Locations.
CREATE TABLE IF NOT EXISTS Kvd113Sto (
  StoNum INTEGER NOT NULL,  -- NUMBER(8): location number
  StoKtx TEXT,              -- VARCHAR2(10): short text
  StoSta INTEGER            -- NUMBER: status
);
-- Covers what the location lookup reads, which runs once for each badge of a file.
CREATE INDEX IF NOT EXISTS Kvd113Sto_Num ON Kvd113Sto (StoNum, StoSta, StoKtx);

-- Authorisation classes per terminal: M35Bch '1' time recording, '0' access.
CREATE TABLE IF NOT EXISTS MGSST35P (
  M35Trm TEXT NOT NULL,   -- VARCHAR2: terminal name
  M35Bkl TEXT NOT NULL,   -- VARCHAR2(5): class
  M35Bch TEXT NOT NULL    -- CHAR(1): kind
);
CREATE INDEX IF NOT EXISTS MGSST35P_Trm ON MGSST35P (M35Trm, M35Bch, M35Bkl);

-- Classes held by a badge.
CREATE TABLE IF NOT EXISTS Kvd301Awb (
  AWBASW TEXT NOT NULL,   -- VARCHAR2: badge number
  AWBBKL TEXT NOT NULL    -- VARCHAR2(5): class
);
CREATE INDEX IF NOT EXISTS Kvd301Awb_Asw ON Kvd301Awb (AWBASW, AWBBKL);

-- Readers of a terminal.
CREATE TABLE IF NOT EXISTS Kvd401Zls (
  ZlsTrm TEXT NOT NULL,   -- VARCHAR2: terminal name
  ZlsLes INTEGER NOT NULL,-- NUMBER: reader number
  ZlsZko TEXT,            -- VARCHAR2(5): zone
  ZlsSta INTEGER          -- NUMBER: status
);
CREATE INDEX IF NOT EXISTS Kvd401Zls_Trm ON Kvd401Zls (ZlsTrm, ZlsLes);

-- Balances and information texts per badge: TswW02..TswW16 are a sign character followed by
-- up to 9 characters of digits, TswF01..TswF10 free texts.
CREATE TABLE IF NOT EXISTS O2002TSW (
  TSWIDN TEXT NOT NULL,   -- VARCHAR2: badge number
  TswW01 TEXT, TswW02 TEXT, TswW03 TEXT, TswW04 TEXT, TswW05 TEXT, TswW06 TEXT,
  TswW07 TEXT, TswW08 TEXT, TswW09 TEXT, TswW10 TEXT, TswW11 TEXT, TswW12 TEXT,
  TswW13 TEXT, TswW14 TEXT, TswW15 TEXT, TswW16 TEXT,   -- VARCHAR2(10)
  TswF01 TEXT, TswF02 TEXT, TswF03 TEXT, TswF04 TEXT, TswF05 TEXT,
  TswF06 TEXT, TswF07 TEXT, TswF08 TEXT, TswF09 TEXT, TswF10 TEXT    -- VARCHAR2(20)
);
-- Holds the whole row after the badge number, so that a badge's balances are read from the
-- index alone, not from a table page anywhere in the file. It replaces the narrower O2002TSW_Idn
-- of earlier installations.
DROP INDEX IF EXISTS O2002TSW_Idn;
CREATE INDEX IF NOT EXISTS O2002TSW_Row ON O2002TSW
  (TSWIDN, TswW02, TswW03, TswW04, TswW05, TswW06, TswW07, TswW08, TswW09, TswW10, TswW11,
   TswW12, TswW13, TswW14, TswW15, TswW16, TswF01, TswF02, TswF03, TswF04, TswF05, TswF06,
   TswF07, TswF08, TswF09, TswF10);

-- Display-text sets: line MsdLfd of set MsdSal shows label MsdAnz and value MsdWrt.
CREATE TABLE IF NOT EXISTS Kvd119Msd (
  MsdSal TEXT NOT NULL,   -- VARCHAR2(10): set
  MsdLfd INTEGER NOT NULL,-- NUMBER: line, the slot 1 to 8
  MsdSpl INTEGER,         -- NUMBER: column, 2 shifts the label of slots 5 to 8
  MsdTxt TEXT,            -- VARCHAR2(40): own label, wins over the list text
  MsdMnd INTEGER,         -- NUMBER: client
  MsdLiz INTEGER,         -- NUMBER: licence
  MSDERF TEXT,            -- VARCHAR2: who made the line; 'KORVANE' lines serve every client
  MsdAnz INTEGER,         -- NUMBER: entry of the label in list 220001
  MsdWrt INTEGER,         -- NUMBER: entry of the value code in list 220002
  MsdSta INTEGER          -- NUMBER: status
);
CREATE INDEX IF NOT EXISTS Kvd119Msd_Sal ON Kvd119Msd (MsdSal, MsdLfd);

-- List texts: list FtxNumSpr, entry FtxWhl, language FtxSpr.
CREATE TABLE IF NOT EXISTS Kvd102Whl (
  FtxNumSpr INTEGER NOT NULL,  -- NUMBER: list, 220001 labels, 220002 value codes
  FtxWhl INTEGER NOT NULL,     -- NUMBER: entry
  FtxSpr INTEGER NOT NULL,     -- NUMBER: language
  FtxT50 TEXT,                 -- VARCHAR2(50): text
  FTXT10 TEXT                  -- VARCHAR2(10): short text (the value code)
);
CREATE INDEX IF NOT EXISTS Kvd102Whl_Key ON Kvd102Whl (FtxNumSpr, FtxWhl, FtxSpr);
