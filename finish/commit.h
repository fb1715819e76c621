// The commit of an installation: the moment the kept copies of the files it
// replaced go. It comes last, once the record, the file list, the Uninstall
// key and its digests are whole, and is journaled first, so that a run that
// ends in the middle of it is finished by the next rather than taken back.
#ifndef BRONDALE_FINISH_COMMIT_H
#define BRONDALE_FINISH_COMMIT_H

// Marks the commit in the journal (flushed), deletes the kept copies and
// forgets the record of written files (package/record.h), then ends the
// journal. When the mark cannot be written the kept copies stay (a later
// run deletes them as stale) and the journal ends all the same: the
// installation is whole and must not be taken back.
void CommitInstallation();

#endif
