// Badge numbers and access classes that do not fit a record are left out with a line (always
// printed), never cut: a cut badge number would be another badge's number.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "data/checks.hpp"
#include "text/messages.hpp"

namespace zibrolt {

// A badge number longer than the records' 13 positions would be cut into another badge's
// number, and one with a control byte would reach the terminal as some other number, so such a
// badge is left out with this line. True when the badge fits.
bool BadgeNumberFits(const Messages& messages, std::string_view badge);

// An access class longer than 3 characters would be cut into another class, and one with a
// control byte is not the class the terminal knows; that class's record is left out with a
// line naming it. True when the class fits.
bool AccessClassFits(const Messages& messages, std::string_view badge, std::string_view entry);

// The classes of the list that fit, in list order; a line is printed for each one left out.
std::vector<std::string_view> FittingClasses(const Messages& messages, std::string_view badge,
                                             const std::vector<std::string>& classes);

// Whether a badge with these rights gets records in a file of reader records (MGDNL17P,
// MGDNL60P): one with a time authorisation or a class that fits. classes receives the classes
// that fit; a badge whose classes were all left out still gets its time-only record. With "/d"
// a badge without any rights is named.
bool GetsReaderRecords(const Messages& messages, const Rights& rights, std::string_view badge,
                       std::string_view terminal, std::vector<std::string_view>& classes);

}  // namespace zibrolt
