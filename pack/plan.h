// What an installer will do, read from its package alone.
#ifndef BRONDALE_PACK_PLAN_H
#define BRONDALE_PACK_PLAN_H

#include <string>
#include <utility>
#include <vector>

// install: the Install section's files (name, content); program: the
// program section's (name, size). Returns the plan as text.
std::string DescribePlan(const std::vector<std::pair<std::string, std::string>>& install,
                         const std::vector<std::pair<std::string, uint32_t>>& program);

#endif
