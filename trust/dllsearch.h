// The DLL-search restriction of the elevated programs (the installer and the
// uninstaller): DLLs are loaded from the system folder only, never from the
// program's own folder (a downloads folder) or the current folder.
#ifndef BRONDALE_TRUST_DLLSEARCH_H
#define BRONDALE_TRUST_DLLSEARCH_H

// Limits DLL loading to the system folder. Runs first thing in WinMain,
// before any DLL is loaded on demand.
void RestrictDllSearch();

#endif
