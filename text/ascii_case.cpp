#include "text/ascii_case.hpp"

namespace zibrolt {

void StrUpper(std::string& text) {
  for (auto it = text.rbegin(); it != text.rend(); ++it)
    if (*it >= 'a' && *it <= 'z') *it = static_cast<char>(*it - 'a' + 'A');
}

}  // namespace zibrolt
