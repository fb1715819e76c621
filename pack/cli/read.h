// The commands that read an installer: verify, list, plan and extract. Each
// returns the tool's exit code: 0 done, 1 refused or damaged, 2 bad usage.
#ifndef BRONDALE_PACK_CLI_READ_H
#define BRONDALE_PACK_CLI_READ_H

#include "pack/cli/args.h"

// verify, or list when list is set: every section checked, the files named.
int VerifyCommand(const Args& a, bool list);
int ExtractCommand(const Args& a);
int PlanCommand(const Args& a);

#endif
