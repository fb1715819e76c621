// A DLL that a test plants beside a program to see whether it gets loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int BrondalePlanted() { return 1; }
