// The badge's balances and information texts from O2002TSW, formatted once for every file
// that shows them: a balance value is 7 characters (6 for the value, 1 for the sign), an
// information text 20.
#include "generators/balance.hpp"

#include <array>

namespace zibrolt {
namespace {

using sqlhlp::Text;

// TswW01 (9), then sign (2) and digits (10) of TswW02 to TswW16, then TswF01 to TswF10 (21).
constexpr auto kBalanceColumns = [] {
  std::array<sqlhlp::Column, 41> columns{};
  columns[0] = Text(9);
  for (int n = 2; n <= 16; ++n) {
    columns[2 * n - 3] = Text(2);
    columns[2 * n - 2] = Text(10);
  }
  for (int m = 1; m <= 10; ++m) columns[30 + m] = Text(21);
  return columns;
}();

constexpr sqlhlp::Query kBalance{
    "select TswW01 ,substr(TswW02,1,1) ,substr(TswW02,2,9) ,substr(TswW03,1,1) "
    ",substr(TswW03,2,9) ,substr(TswW04,1,1) ,substr(TswW04,2,9) ,substr(TswW05,1,1) "
    ",substr(TswW05,2,9) ,substr(TswW06,1,1) ,substr(TswW06,2,9) ,substr(TswW07,1,1) "
    ",substr(TswW07,2,9) ,substr(TswW08,1,1) ,substr(TswW08,2,9) ,substr(TswW09,1,1) "
    ",substr(TswW09,2,9) ,substr(TswW10,1,1) ,substr(TswW10,2,9) ,substr(TswW11,1,1) "
    ",substr(TswW11,2,9) ,substr(TswW12,1,1) ,substr(TswW12,2,9) ,substr(TswW13,1,1) "
    ",substr(TswW13,2,9) ,substr(TswW14,1,1) ,substr(TswW14,2,9) ,substr(TswW15,1,1) "
    ",substr(TswW15,2,9) ,substr(TswW16,1,1) ,substr(TswW16,2,9) ,TswF01 ,TswF02 ,TswF03 "
    ",TswF04 ,TswF05 ,TswF06 ,TswF07 ,TswF08 ,TswF09 ,TswF10 into "
    ":b0:b1,:b2:b3,:b4:b5,:b6:b7,:b8:b9,:b10:b11,:b12:b13,:b14:b15,:b16:b17,:b18:b19,:b20:b21"
    ",:b22:b23,:b24:b25,:b26:b27,:b28:b29,:b30:b31,:b32:b33,:b34:b35,:b36:b37,:b38:b39,:b40:b"
    "41,:b42:b43,:b44:b45,:b46:b47,:b48:b49,:b50:b51,:b52:b53,:b54:b55,:b56:b57,:b58:b59,:b60"
    ":b61,:b62:b63,:b64:b65,:b66:b67,:b68:b69,:b70:b71,:b72:b73,:b74:b75,:b76:b77,:b78:b79,:b"
    "80:b81  from KORVADAT.O2002TSW where TSWIDN=:b82",
    kBalanceColumns};

}  // namespace

std::string FormatBalanceValue(std::string_view sign, std::string_view digits) {
  // The value's leading blanks, tabs and line feeds go; a value made only of them stays.
  std::size_t start = digits.find_first_not_of(" \t\n");
  if (start != std::string_view::npos) digits.remove_prefix(start);
  digits = digits.substr(0, 6);
  std::string value(6 - digits.size(), ' ');  // "%6.6s"
  value.append(digits);
  // A '+' shows as a blank; so does a missing sign, to keep the value 7 characters.
  value.append(sign.empty() || sign[0] == '+' ? std::string_view(" ") : sign.substr(0, 1));
  return value;
}

std::string FormatInformationText(std::string_view text) {
  std::string info(text.substr(0, 20));  // "%-20s"
  info.append(20 - info.size(), ' ');
  return info;
}

int LookupBalanceData(sqlhlp::Connection& db, BadgeRow& row) {
  sqlhlp::Statement& st = db.Use(kBalance);
  st.BindText(0, row.AswNum);
  const int status = st.SelectOne();
  if (status != sqlhlp::kOk) return status;
  for (int n = 2; n <= 16; ++n)
    row.balance.value[n] = FormatBalanceValue(st.GetText(2 * n - 3), st.GetText(2 * n - 2));
  for (int m = 1; m <= 10; ++m) row.balance.info[m] = FormatInformationText(st.GetText(30 + m));
  return status;
}

}  // namespace zibrolt
