// Sievo: the plug-in scanner of the Tarnwell host. A GUI process without a
// main window; the command line chooses what one run does.
#include <windows.h>

#include "app/RunSequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
    return RunSievo(instance, previous, commandLine, showCommand);
}
