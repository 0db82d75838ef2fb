// Stands in for a browser in the forum-page tests: records the command line it was started
// with in "launched.txt" beside itself, then ends.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L'\\') + 1) + L"launched.txt";
    const wchar_t* commandLine = ::GetCommandLineW();
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, utf8.data(), bytes, nullptr, nullptr);
    HANDLE out = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(out);
    return 0;
}
