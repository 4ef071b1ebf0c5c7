// Whether the database compares two key columns byte for byte on the values it hands over, so
// that the program may join them itself and decide as the database would. Asked of the catalog
// and the session's settings through the backend's own statements; anything not proven is no.
#pragma once
#include "backends/contract.hpp"

namespace zibrolt::backend {

// A key column's declared type in Oracle's catalog (table and column names as bound :b0 and
// :b1): DATA_TYPE, DATA_LENGTH, CHAR_LENGTH, CHAR_USED. The bind probe reads it too.
inline constexpr std::string_view kOracleColumnType =
    "select DATA_TYPE ,DATA_LENGTH ,CHAR_LENGTH ,CHAR_USED from ALL_TAB_COLUMNS where "
    "OWNER='KORVADAT' and TABLE_NAME=:b0 and COLUMN_NAME=:b1";
inline constexpr Column kOracleColumnTypeColumns[] = {
    {Column::kText, 129}, {Column::kInt, 0}, {Column::kInt, 0}, {Column::kText, 2}};
// A setting of the session (its name bound as :b0), read by the Oracle proof.
inline constexpr std::string_view kOracleSessionSetting =
    "select VALUE from NLS_SESSION_PARAMETERS where PARAMETER=:b0";
inline constexpr Column kOracleSessionSettingColumns[] = {{Column::kText, 129}};

// SQLite: both columns of text affinity and neither table with a collation of its own, so that
// texts compare byte for byte and a value kept as bytes equals no text; or both of integer
// affinity, whose integers have one text each.
JoinProof ProveSqliteJoin(Connection& db, const KeyColumn& a, const KeyColumn& b);

// Oracle: both columns NUMBER; or both VARCHAR2 (or both NVARCHAR2), or both CHAR (or NCHAR) of
// one length, of at most 255 characters, and a binary comparison in this session (NLS_COMP or
// NLS_SORT BINARY). A CHAR and a VARCHAR2 compare without padding, a NUMBER and a text as numbers,
// and a linguistic comparison equals what differs in bytes: none of them is byte for byte.
JoinProof ProveOracleJoin(Connection& db, const KeyColumn& a, const KeyColumn& b);

}  // namespace zibrolt::backend
