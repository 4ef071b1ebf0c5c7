// The per-badge jobs of the five download functions. The registry (registry.hpp) names them.
#pragma once
#include <memory>

#include "generators/badge_job.hpp"

namespace zibrolt {

std::unique_ptr<BadgeJob> MakeMgDnl17PJob(const JobContext& context);
std::unique_ptr<BadgeJob> MakeMgDnl18PJob(const JobContext& context);
std::unique_ptr<BadgeJob> MakeMgDnl31PJob(const JobContext& context);
std::unique_ptr<BadgeJob> MakeMgDnl60PJob(const JobContext& context);
std::unique_ptr<BadgeJob> MakeIdStammJob(const JobContext& context);

}  // namespace zibrolt
