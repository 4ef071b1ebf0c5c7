// Test seam: fails the Nth database operation or download-file write of a run, the way a
// database engine's own tests fail its Nth I/O, so that tests can walk a failure through every
// step of a run. Only test builds (ZIBROLT_FAULT_SEAM) call it; the tool itself has no seam.
#pragma once
#include <cstdint>
#include <string_view>

namespace zibrolt::faults {

enum class Point : std::uint8_t {
  kExecute,  // single-row queries, cursor opens and executes
  kFetch,    // cursor fetches
  kWrite,    // writes to the download file
  kViewLost, // looks at the connection's read transaction: the nth finds it ended
};

// Status an injected database failure reports. Oracle's error numbers have at most five digits,
// so no real failure is ever mistaken for an injected one.
inline constexpr int kInjectedStatus = -100000;

// Makes the nth occurrence (from 1) of point fail; 0 disarms. Resets the counts.
void Arm(Point point, std::uint64_t n);
void Disarm();
// Counts one occurrence of point; true when this one must fail. what names the statement or
// file (kept for Failed()).
bool Hit(Point point, std::string_view what = {});
// Whether a failure is armed (statements prepared meanwhile pass through the seam).
bool Armed();
// Whether the armed failure has happened since Arm.
bool Fired();
// The statement text (or "download file") of the failure that happened.
std::string_view Failed();

}  // namespace zibrolt::faults
