// Built-in texts are Polish in code page 1250: this file is compiled with
// -fexec-charset=CP1250, so the literals below are stored as CP1250 bytes.
#include "lang/texts.h"

#include <cstdio>

#include "platform/win32api.h"
#include "base/scratch.h"

char* Zakoncz() {
    static char text[] = "Zakończ";
    return text;
}

char* Dalej() {
    static char text[] = "Dalej";
    return text;
}

char* DefaultText(unsigned int id) {
    static char t1[] = "Czy napewno chcesz zainstalować program";
    static char t3[] = "Instaluj";
    static char t5[] = "Zgadzam się z warunkami umowy licencyjnej.";
    static char t6[] = "Wybierz";
    static char t7[] = "Wybierz folder w którym zostanie zainstalowany program:";
    static char t8[] = "Wybrana ścieżka jest nieprawidłowa.";
    static char t9[] = "Przerwać instalację?";
    static char t10[] = "Postęp instalacji:";
    static char t11[] = "Rozpakowane pliki:";
    static char t13[] =
        "Wybierz z poniższych opcji, zadania które ma wykonać program instalacyjny podczas "
        "końcowej fazy instalacji programu.";
    static char t14[] = "Utwórz skróty na pulpicie.";
    static char t15[] = "Utwórz skróty w menu start.";
    static char t16[] = "Pokaż plik informacji końcowej.";
    static char t17[] = "Uruchom program";
    static char t18[] = "po zakończeniu instalacji.";
    static char t19[] = "Zabrakło pamięci. Instalacja została wycofana, pliki pozostały bez zmian.";
    static char t20[] =
        "Plik jest otwarty w innym programie. Zamknij ten program i wybierz Ponów albo wybierz "
        "Anuluj, aby przerwać instalację bez zmian w plikach:";
    static char t21[] =
        "Instalacja nie zapisuje przez dowiązanie ani punkt połączenia. Instalacja została "
        "wycofana:";
    static char t38[] =
        "Instalator działa z uprawnieniami administratora i nie uruchomił tych plików, aby nie przekazać "
        "tych uprawnień. Uruchom je samodzielnie:";
    static char t39[] =
        "Wybrany folder jest dowiązaniem lub punktem połączenia albo leży w takim folderze, a mógł go "
        "utworzyć użytkownik bez uprawnień administratora. Wybierz inny folder:";
    static char t40[] =
        "Zainstalować program dla wszystkich użytkowników tego komputera? Tak: dla wszystkich, z uprawnieniami "
        "administratora. Nie: tylko dla Ciebie, bez nich.";
    static char t41[] =
        "Instalacja dla wszystkich użytkowników wymaga uprawnień administratora, których nie udzielono. Nic nie "
        "zostało zainstalowane.";
    static char t45[] = "Zainstalowana jest nowsza wersja programu:";
    static char t46[] = "Zastąpić ją starszą wersją z tego instalatora?";
    static char t47[] =
        "Nazwa wybranego folderu zawiera litery, których strona kodowa tego systemu nie potrafi zapisać. Wybierz "
        "inny folder.";
    static char t50[] =
        "Ten folder albo folder nad nim należy do konta, które nie jest kontem administratora, więc użytkownik mógłby "
        "zmienić to, co instalacja w nim umieści. Wybierz inny folder:";
    static char t51[] =
        "Użytkownicy bez uprawnień administratora mogą zmienić, przenieść lub usunąć ten folder albo jego zawartość. "
        "Wybierz inny folder:";
    static char t52[] = "Inny program utworzył ten folder, gdy instalacja tworzyła ścieżkę. Wybierz folder ponownie:";
    static char t53[] = "Ścieżka wskazuje folder przez \".\" lub \"..\". Podaj pełną ścieżkę folderu bez nich.";
    static char t54[] = "Instalacja nie może otworzyć, odczytać ani utworzyć tego folderu. Wybierz inny folder:";
    static char t55[] = "Trwa inna instalacja tego programu. Zaczekaj, aż się zakończy, i uruchom instalator ponownie.";
    static char t56[] =
        "Przerwana instalacja w tym folderze pozostawiła pliki, których nie udało się przywrócić ani "
        "dokończyć. Wybierz inny folder:";
    static char none[] = "";
    char* const table[] = {none, t1,   Zakoncz(), t3,  Dalej(), t5,  t6,  t7,  t8,  t9,  t10,
                           t11,  none, t13,       t14, t15,     t16, t17, t18, t19, t20, t21};
    // 30 to 37 are the uninstaller's (uninst/texts.cpp).
    if (id == 38)
        return t38;
    if (id == 39)
        return t39;
    if (id == 40)
        return t40;
    if (id == 41)
        return t41;
    // 45 and 46 the question before an older version replaces a newer one,
    // 47 a destination whose name the code page cannot write.
    char* const later[] = {t45, t46, t47};
    if (id >= 45 && id <= 47)
        return later[id - 45];
    // 50 to 54: why the destination page refuses a folder.
    char* const destination[] = {t50, t51, t52, t53, t54};
    if (id >= 50 && id <= 54)
        return destination[id - 50];
    if (id == 55)
        return t55;
    if (id == 56)
        return t56;
    return id < sizeof table / sizeof table[0] ? table[id] : none;
}

char* GetLang(unsigned int id, char* def) {
    static char buffor[256];
    char path[MAX_PATH];
    char key[16];
    ScratchRead(kScratchLanguage, path, sizeof path);
    snprintf(key, sizeof key, "%u", id);
    GetPrivateProfileStringA("lng", key, def, buffor, sizeof buffor, path);
    return buffor;
}
