// The program's entry on Linux, whose arguments are UTF-8 already.

#include "app/ProgramMain.h"
#include "base/Translate.h"
#include "host/HostPlatform.h"

int main(int argc, char** argv) {
    // Before any thread starts: it sets LANGUAGE and LC_MESSAGES.
    vorta::StartTranslations(vorta::LocaleDirFor(vorta::host::ExecutablePath().parent_path()));
    return vorta::app::ProgramMain({argv + 1, argv + argc});
}
