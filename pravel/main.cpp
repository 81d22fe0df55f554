// pravel.exe: installs the prerequisites named by pravel.ini beside it.
#include <windows.h>

#include "chainer/Entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return pravel::PravelMain(instance);
}
