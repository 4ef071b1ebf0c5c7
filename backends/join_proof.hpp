// Whether the database compares two key columns byte for byte on the values it hands over, so
// that the program may join them itself and decide as the database would. Asked of the catalog
// and the session's settings through the backend's own statements; anything not proven is no.
#pragma once
#include "backends/contract.hpp"

namespace zibrolt::backend {

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
