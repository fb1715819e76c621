// The plan of pack/plan.h written out: the text plan prints, and the JSON
// of plan --json.
#ifndef BRONDALE_PACK_PLANTEXT_H
#define BRONDALE_PACK_PLANTEXT_H

#include <string>

#include "pack/plan.h"

// The plan as text, in the package's code page, lines ended by line feeds.
std::string PlanText(const Plan& plan);

// The plan as one JSON document, texts converted from codePage.
std::string PlanJson(const Plan& plan, int codePage);

// PlanText(MakePlan(install, program)).
std::string DescribePlan(const std::vector<std::pair<std::string, std::string>>& install,
                         const std::vector<std::pair<std::string, uint32_t>>& program);

#endif
