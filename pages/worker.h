// The extraction worker of the progress page (Windows only): a thread that
// extracts the program section into the destination and reports progress
// on the page's two bars.
#ifndef BRONDALE_PAGES_WORKER_H
#define BRONDALE_PAGES_WORKER_H

#include <windows.h>

// Starts the extraction worker, whose thread procedure is RozpakujBin, on a
// copy of destination that lasts as long as the thread.
void RozpakujProgram(const char* destination);
// Extracts the program section into the destination it is given.
DWORD WINAPI RozpakujBin(LPVOID destination);
// Puts a report on bar 700 + bar of the progress page and, when the value
// changed, on label 208 + bar; then handles one waiting message (MsgLoop).
int Progress(short value, bool bar);
int MsgLoop(HWND window);
// Asks a running worker to stop and waits for it, handling what it sends in
// the meantime. With always false only a worker still extracting is waited
// for (one waiting for its completion to be handled is left alone).
void StopWorker(bool always);

#endif
