// Sealing the uninstall record: the SHA-256 digests of UnInst.cfg and
// Files.lst, as written, go into the product's Uninstall key, where only
// administrators can change them; the uninstaller obeys nothing else.
#ifndef BRONDALE_FINISH_SEAL_H
#define BRONDALE_FINISH_SEAL_H

// Reads the record (scratch key 11) and DEST\UnInstall\Files.lst back from
// disk and stores their digests as "RecordDigest" and "FileListDigest"
// (REG_SZ) in the product's Uninstall key. Runs after the last write to the
// record. A file that cannot be read gets no value, so the uninstaller
// refuses rather than trust it. No product name: nothing is written.
void SealRecord();

#endif
