// Token-level rewriting: string literals are copied untouched, identifiers are compared without
// regard to letter case, as Oracle does for unquoted names.
#include "backends/sql_dialect.hpp"

#include <cctype>

namespace zibrolt {
namespace {

bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Calls f(begin, end, isIdentifier) for each piece of the text, literals as one piece.
template <typename F>
void ForEachToken(std::string_view text, F&& f) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t start = i;
    if (text[i] == '\'') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '\'' && !(i + 1 < text.size() && text[i + 1] == '\'')) break;
        i += text[i] == '\'' ? 2 : 1;
      }
      i = i < text.size() ? i + 1 : i;
      f(start, i, false);
    } else if (IsIdentChar(text[i])) {
      while (i < text.size() && IsIdentChar(text[i])) ++i;
      f(start, i, true);
    } else {
      f(start, ++i, false);
    }
  }
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A term that is a column, maybe qualified, maybe with its direction: "A", "T.A desc". Sets
// column and desc.
bool PlainColumnTerm(std::string_view term, std::string_view& column, bool& desc) {
  while (!term.empty() && std::isspace(static_cast<unsigned char>(term.front())))
    term.remove_prefix(1);
  std::size_t end = 0;
  for (int part = 0; part < 2; ++part) {
    if (end >= term.size() ||
        !(std::isalpha(static_cast<unsigned char>(term[end])) || term[end] == '_'))
      return false;
    while (end < term.size() && IsIdentChar(term[end])) ++end;
    if (end >= term.size() || term[end] != '.') break;
    ++end;
  }
  column = term.substr(0, end);
  std::string_view rest = term.substr(end);
  while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front())))
    rest.remove_prefix(1);
  desc = EqualsNoCase(rest, "desc");
  return rest.empty() || desc || EqualsNoCase(rest, "asc");
}

// Each term given Oracle's NULL order, split at the commas outside parentheses. A column term
// of a simple select is ordered by whether it is NULL first ("a,b desc" -> "a IS NULL,a,b IS
// NULL desc,b desc"), which an index on those expressions can deliver without sorting; other
// terms take SQLite's own words ("a NULLS LAST,b desc NULLS FIRST"), which no index can.
std::string WithOracleNullOrder(std::string_view terms, bool simpleSelect) {
  std::string out;
  int depth = 0;
  std::size_t start = 0;
  auto finish = [&](std::size_t end) {
    std::string_view term = TrimRight(terms.substr(start, end - start));
    std::string_view column;
    bool desc = false;
    if (simpleSelect && PlainColumnTerm(term, column, desc)) {
      out.append(term.substr(0, term.size() - TrimLeft(term).size()));
      out.append(column);
      out.append(desc ? " IS NULL desc," : " IS NULL,");
      out.append(TrimLeft(term));
      return;
    }
    out.append(term);
    std::size_t last = term.find_last_of(" \t\n)");
    std::string_view word = last == std::string_view::npos ? term : term.substr(last + 1);
    out.append(EqualsNoCase(word, "desc") ? " NULLS FIRST" : " NULLS LAST");
  };
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (terms[i] == '(') ++depth;
    if (terms[i] == ')') --depth;
    if (terms[i] == ',' && depth == 0) {
      finish(i);
      out.push_back(',');
      start = i + 1;
    }
  }
  finish(terms.size());
  return out;
}

// Whether terms are the badge list's order, "AswNum,AswGvo,AswBkl" in any letter case and
// spacing.
bool IsBadgeListOrder(std::string_view terms) {
  std::string bare;
  for (char c : terms)
    if (!std::isspace(static_cast<unsigned char>(c))) bare.push_back(c);
  return EqualsNoCase(bare, "AswNum,AswGvo,AswBkl");
}

// The date columns of the installation's tables. SQLite keeps them as text, which compares as
// text: '' or ' 2030-12-31' is "before" every date and would silently drop the badge.
bool IsDateColumn(std::string_view name) {
  return EqualsNoCase(name, "AswGvo") || EqualsNoCase(name, "AswGbi");
}

}  // namespace

std::string RemoveIntoList(std::string_view text) {
  std::string out;
  bool skipping = false;
  ForEachToken(text, [&](std::size_t b, std::size_t e, bool ident) {
    std::string_view tok = text.substr(b, e - b);
    if (skipping) {
      // The into-list is placeholders, commas and blanks up to the word from.
      if (ident && EqualsNoCase(tok, "from")) {
        skipping = false;
        out.append(tok);
      }
      return;
    }
    if (ident && EqualsNoCase(tok, "into")) {
      skipping = true;
      return;
    }
    out.append(tok);
  });
  return out;
}

std::string ToSqliteDialect(std::string_view original) {
  const std::string text = RemoveIntoList(original);
  const std::string_view src = text;
  std::string out;
  std::size_t orderBy = std::string::npos;  // where the terms of the last ORDER BY start in out
  std::string_view prevIdent;
  std::size_t from = 0;  // where the last word from starts in out
  bool dropDot = false;
  int depth = 0;            // parentheses open
  int orderByDepth = 0;     // at the last ORDER BY
  bool compound = false;    // a UNION or the like, whose ORDER BY takes result columns only
  std::size_t skipTo = 0;   // tokens before this were replaced
  bool inOrderBy = false;   // within the terms of an ORDER BY
  std::size_t identAt = 0;  // where the last identifier starts in out
  bool qualified = false;   // the last two tokens were an identifier and a dot
  std::string_view prevTok;
  ForEachToken(src, [&](std::size_t b, std::size_t e, bool ident) {
    if (b < skipTo) return;
    std::string_view tok = src.substr(b, e - b);
    if (tok == "(") ++depth;
    if (tok == ")") --depth;
    if (inOrderBy && depth < orderByDepth) inOrderBy = false;
    const bool afterQualifier = qualified;
    // The column as stored: for the function that finds the text that is no date, and for TO_CHAR
    // and TRUNC, which take '' as NULL and refuse text that is no date themselves (a call less
    // per row: the wrapping is most of what the check costs).
    const bool rawDate =
        prevTok == "(" && (EqualsNoCase(prevIdent, "ora_bad_date") ||
                           EqualsNoCase(prevIdent, "to_char") || EqualsNoCase(prevIdent, "trunc"));
    qualified = tok == "." && !prevTok.empty() && IsIdentChar(prevTok.back());
    prevTok = tok;
    if (ident && (EqualsNoCase(tok, "union") || EqualsNoCase(tok, "intersect") ||
                  EqualsNoCase(tok, "except") || EqualsNoCase(tok, "minus")))
      compound = true;
    if (dropDot) {  // the dot after a dropped qualifier
      dropDot = false;
      return;
    }
    if (ident && EqualsNoCase(tok, "korvadat") && e < src.size() && src[e] == '.') {
      dropDot = true;
      return;
    }
    // Oracle selects values without a table "from dual"; SQLite selects them without a from.
    if (ident && EqualsNoCase(tok, "dual") && EqualsNoCase(prevIdent, "from")) {
      out.resize(from);
      prevIdent = tok;
      return;
    }
    if (ident && EqualsNoCase(tok, "from")) from = out.size();
    // Today, as every validity test of a badge asks for it: one value per execution, taken
    // once per execution however often the statement names it.
    if (ident && EqualsNoCase(tok, "trunc") && EqualsNoCase(src.substr(e, 9), "(sysdate)")) {
      out.append("trunc_sysdate()");
      skipTo = e + 9;
      prevIdent = tok;
      return;
    }
    // SQLite's own local time is taken once per statement execution, as Oracle's SYSDATE is,
    // and SQLite can compute it once instead of once per row.
    if (ident && EqualsNoCase(tok, "sysdate") && !(e < src.size() && src[e] == '('))
      out.append("datetime('now','localtime')");
    else if (ident && IsDateColumn(tok) && !inOrderBy && !rawDate &&
             !(e < src.size() && src[e] == '(')) {
      // Compared and converted as Oracle holds dates. The ORDER BY keeps the bare column, which
      // the badge list's index delivers in order.
      out.insert(afterQualifier ? identAt : out.size(), "ora_date(");
      out.append(tok);
      out.push_back(')');
    } else
      out.append(tok);
    if (ident) {
      if (!afterQualifier) identAt = out.size() - tok.size();
      if (EqualsNoCase(tok, "by") && EqualsNoCase(prevIdent, "order")) {
        orderBy = out.size();
        orderByDepth = depth;
        inOrderBy = true;
      }
      prevIdent = tok;
    }
  });
  if (orderBy != std::string::npos) {
    // The terms end with the text, or, for an ORDER BY inside parentheses, where those close.
    std::size_t end = orderBy;
    for (int open = 0; end < out.size() && open >= 0; ++end) {
      if (out[end] == '\'') end = std::min(out.find('\'', end + 1), out.size() - 1);
      if (out[end] == '(') ++open;
      if (out[end] == ')' && --open < 0) break;
    }
    const std::string_view terms = std::string_view(out).substr(orderBy, end - orderBy);
    const bool simple = orderByDepth == 0 && !compound;
    std::string ordered = WithOracleNullOrder(terms, simple);
    // Validity rows equal in badge, start and class come in the order they were stored, as an
    // index on exactly those columns gives them: the order the embedded database has always
    // sent them to the terminals in. The list's index now holds further columns, which would
    // order them otherwise; SQLite sorts only within such rows.
    if (simple && IsBadgeListOrder(terms)) ordered += ",Kvd301Asw.rowid";
    out = out.substr(0, orderBy) + ordered + out.substr(end);
  }
  return out;
}

std::string ToPositionalPlaceholders(std::string_view text) {
  std::string out;
  bool colon = false;  // a ':' that may open a placeholder, not yet copied
  ForEachToken(text, [&](std::size_t b, std::size_t e, bool ident) {
    std::string_view tok = text.substr(b, e - b);
    if (colon) {
      colon = false;
      const bool placeholder = ident && tok.size() > 1 && (tok[0] == 'b' || tok[0] == 'B') &&
                               tok.find_first_not_of("0123456789", 1) == std::string_view::npos;
      if (placeholder) {
        out.push_back('?');
        return;
      }
      out.push_back(':');
    }
    if (tok == ":") {
      colon = true;
      return;
    }
    out.append(tok);
  });
  if (colon) out.push_back(':');
  return out;
}

int SqliteSchemaSwitch(std::string_view schema) {
  return EqualsNoCase(schema, "KORVADAT") ? 0 : kUnknownSchema;
}

}  // namespace zibrolt
