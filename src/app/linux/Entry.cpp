// The program's entry on Linux, whose arguments are UTF-8 already.

#include "app/ProgramMain.h"

int main(int argc, char** argv) {
    return vorta::app::ProgramMain({argv + 1, argv + argc});
}
