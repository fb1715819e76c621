// The uninstaller's texts. Built-in texts are Polish in code page 1250: the
// file is compiled with -fexec-charset=CP1250.
#include "uninst/texts.h"

#include <windows.h>

namespace {

std::string* LanguageFile() {
    static std::string path;
    return &path;
}

const char* Default(UninstallText id) {
    switch (id) {
    case kTextConfirm:
        return "Czy na pewno chcesz odinstalować program";
    case kTextDone:
        return "Program został odinstalowany.";
    case kTextFailed:
        return "Nie udało się usunąć:";
    case kTextKept:
        return "Te pliki zostały zmienione lub dodane i pozostały na dysku:";
    case kTextFolder:
        return "Ten folder nie jest pusty i pozostał:";
    case kTextNoRecord:
        return "Nie znaleziono zapisu instalacji:";
    case kTextAgain:
        return "Uruchom dezinstalator ponownie, gdy te pliki nie będą używane.";
    case kTextForOneUser:
        return "Ten program zainstalowano tylko dla jednego użytkownika. Odinstaluj go jako ten użytkownik, bez "
               "uprawnień administratora; nic nie zostało usunięte.";
    case kTextNotSealed:
        return "Zapis instalacji został zmieniony po instalacji albo brak jego sumy kontrolnej, więc nic nie "
               "zostało usunięte. Zainstaluj program ponownie, aby zapisać nowy zapis, i wtedy go odinstaluj.";
    case kTextElsewhere:
        return "Instalacja w tym folderze nie jest już zarejestrowana: program zainstalowano ponownie w innym "
               "folderze albo odinstalowano. Nic nie zostało usunięte.";
    case kTextInFolder:
        return "Program jest zainstalowany w folderze:";
    case kTextAnotherRun:
        return "Trwa inna instalacja lub dezinstalacja tego programu albo nie udało się dokończyć przerwanej. Nic nie "
               "zostało usunięte; uruchom dezinstalator ponownie później.";
    }
    return "";
}

}  // namespace

void UseLanguageFile(const std::string& path) { *LanguageFile() = path; }

std::string Text(UninstallText id) {
    char text[256];
    char key[16];
    wsprintfA(key, "%d", static_cast<int>(id));
    GetPrivateProfileStringA("lng", key, Default(id), text, sizeof text, LanguageFile()->c_str());
    return text;
}
