#include <windows.h>

#include "app/WinhushApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR commandLine, int /*showCommand*/) {
    return winhush::RunWinhush(instance, commandLine);
}
