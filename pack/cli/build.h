// The commands that work on a product folder: new, lint and build. Each
// returns the tool's exit code: 0 done, 1 refused, 2 bad usage.
#ifndef BRONDALE_PACK_CLI_BUILD_H
#define BRONDALE_PACK_CLI_BUILD_H

#include "pack/cli/args.h"

// argv0 is the tool's own name, for finding its companion programs.
int NewProduct(const Args& a, const char* argv0);
int LintCommand(const Args& a, const char* argv0);
int BuildCommand(const Args& a, const char* argv0);

#endif
