// The placeholder program that `brondale-pack new` puts in a new product:
// it says whose place it keeps, taking the product's name from its own file
// name, so that a fresh product installs and starts something real.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path, n < MAX_PATH ? n : 0);
    std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    std::wstring text = L"This program keeps the place of " + name +
                        L".\n\nPut the product's own program in the product folder's program\\ in its place, "
                        L"then build the installer again.\n\n" +
                        self;
    MessageBoxW(nullptr, text.c_str(), name.c_str(), MB_ICONINFORMATION);
    return 0;
}
