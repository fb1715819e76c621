// The finish sequence.
#include "finish/finish.h"

#include "pages/pages.h"

void ZakonczInstalace() {
    *InstalacjaZakonczona() = 0;
    ZakonczWszystko();
}
