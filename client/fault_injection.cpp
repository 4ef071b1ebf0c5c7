// State of the test seam: one armed point per process, used by one thread.
#include "client/fault_injection.hpp"

#include <string>

namespace zibrolt::faults {
namespace {

struct Plan {
  Point point = Point::kExecute;
  std::uint64_t failAt = 0;  // 0: unarmed
  std::uint64_t seen = 0;    // occurrences of point since Arm
  bool fired = false;
  std::string failed;  // what the failure hit (the statement may be gone with its run)
};
Plan plan;

}  // namespace

void Arm(Point point, std::uint64_t n) { plan = Plan{point, n, 0, false, {}}; }
void Disarm() { plan = Plan{}; }

bool Hit(Point point, std::string_view what) {
  if (plan.failAt == 0 || point != plan.point) [[likely]]
    return false;
  if (++plan.seen != plan.failAt) return false;
  plan.fired = true;
  plan.failed = what;
  return true;
}

bool Armed() { return plan.failAt != 0; }
bool Fired() { return plan.fired; }
std::string_view Failed() { return plan.failed; }

}  // namespace zibrolt::faults
