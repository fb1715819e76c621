// The failure report: the one place that tells the user and the pages what
// became of a section, and the two entry points that extract a section and
// report it. Every way out ends the pages through page 0's close request.
#ifndef BRONDALE_PACKAGE_REPORT_H
#define BRONDALE_PACKAGE_REPORT_H

#include "package/state.h"
#include "platform/win32api.h"

// Extracts one section below target (ExtractSection), reporting a failure
// to the user and the pages; returns the result.
SectionResult Rozpakowanie(char* target, unsigned short mode, HANDLE package);
// Locates the package and extracts the Lang and Install sections.
void RozpakujJezyki();

// The damaged-package report: message, error flag, close request to page 0.
void Error_1();
// The same for a package that is whole but whose files cannot be written
// (a full disk, a read-only folder): telling the user the package is
// damaged would send them looking in the wrong place.
void ReportWriteFailure();
// Memory that could not be had (text ID 19).
void ReportNoMemory();
// Reports a failed section's result to the user and the pages: the one
// place that shows what went wrong (nothing for kSectionOk and a stop; a
// cancel at a file in use ends the wizard without a message).
void ReportResult(SectionResult result);
const char kWriteFailureText[] = "The files cannot be written. The disk may be full or the folder read-only.";

#endif
