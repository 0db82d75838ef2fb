#include "base/Registry.h"

#include <vector>

namespace winhush {

std::optional<std::wstring> ReadRegistryString(HKEY key, const wchar_t* valueName, size_t maxChars) {
    if (!key || maxChars == 0) return std::nullopt;
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');  // one spare so a full buffer still ends in NUL
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(maxChars * sizeof(wchar_t));
    if (::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    size_t chars = bytes / sizeof(wchar_t);
    size_t end = 0;
    while (end < chars && buffer[end] != L'\0') ++end;
    if (end == chars) return std::nullopt;  // no terminator inside the stored data
    return std::wstring(buffer.data(), end);
}

std::optional<DWORD> ReadRegistryDword(HKEY key, const wchar_t* valueName) {
    if (!key) return std::nullopt;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    if (::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_DWORD || bytes != sizeof(data)) return std::nullopt;
    return data;
}

}  // namespace winhush
