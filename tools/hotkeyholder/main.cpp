// hotkeyholder: holds one system-wide hotkey for as long as it runs, standing in for another
// program that took a combination first.
//
//   hotkeyholder MODIFIERS VK   (RegisterHotKey values, decimal)
//
// Prints "ok" once the hotkey is registered or "error CODE", then waits until its stdin
// ends or a line arrives, and exits.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::puts("error usage");
        return 2;
    }
    UINT modifiers = static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10));
    UINT vk = static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10));
    if (!::RegisterHotKey(nullptr, 1, modifiers, vk)) {
        std::printf("error %lu\n", ::GetLastError());
        std::fflush(stdout);
        return 1;
    }
    std::puts("ok");
    std::fflush(stdout);
    char line[16];
    std::fgets(line, sizeof(line), stdin);
    ::UnregisterHotKey(nullptr, 1);
    return 0;
}
