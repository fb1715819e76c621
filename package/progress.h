// Progress reports of the program section and their pacing: the page is told
// only of changes, no faster than it can show them, and every bar still ends
// on 100.
#ifndef BRONDALE_PACKAGE_PROGRESS_H
#define BRONDALE_PACKAGE_PROGRESS_H

#include <cstdint>

// Progress of the program section: called with a bar's whole-number
// percentage (bar false: the section, true: the member being written), only
// while *PaczkaZProgramem() is set and only when that bar's value changes.
typedef void (*ProgressReport)(short value, bool bar);
ProgressReport* ProgressReporter();

// True while reports go out: the program section is being extracted and a
// report function is set.
bool ProgressWanted();
// Forgets the values last reported, so that a new section starts afresh.
void ResetProgress();
// Reports value on bar when it changed and the bar's last report is old
// enough; first (a bar's first value in a member) and 100 always go through.
void ReportProgress(short value, bool bar, bool first = false);
// The section bar's value while member index is written: the path list
// (index 0) counts as the first member and shows 2/N, member k (k+1)/N.
short SectionPercent(uint32_t index);
// The member bar's value once produced of isize bytes are written.
short MemberPercent(uint64_t produced, uint32_t isize);

#endif
