#include "rules/InstallLocation.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "base/Handles.h"
#include "base/Registry.h"
#include "base/Strings.h"
#include "base/Wow64.h"

namespace winhush::rules {

namespace {

constexpr REGSAM kUninstallAccess = KEY_READ | KEY_WOW64_64KEY;
constexpr size_t kMaxLocationChars = 512;
constexpr DWORD kFullPathChars = 1024;
constexpr size_t kMaxTemplateChars = 32767;  // the longest path Windows knows
constexpr size_t kMaxPlaceholderNames = 64;

struct SpecialFolder {
    const wchar_t* name;
    int csidl;
};

#define WINHUSH_FOLDER(name) {L## #name, name}
constexpr SpecialFolder kSpecialFolders[] = {
    WINHUSH_FOLDER(CSIDL_ADMINTOOLS),
    WINHUSH_FOLDER(CSIDL_ALTSTARTUP),
    WINHUSH_FOLDER(CSIDL_APPDATA),
    WINHUSH_FOLDER(CSIDL_BITBUCKET),
    WINHUSH_FOLDER(CSIDL_CDBURN_AREA),
    WINHUSH_FOLDER(CSIDL_COMMON_ADMINTOOLS),
    WINHUSH_FOLDER(CSIDL_COMMON_ALTSTARTUP),
    WINHUSH_FOLDER(CSIDL_COMMON_APPDATA),
    WINHUSH_FOLDER(CSIDL_COMMON_DESKTOPDIRECTORY),
    WINHUSH_FOLDER(CSIDL_COMMON_DOCUMENTS),
    WINHUSH_FOLDER(CSIDL_COMMON_FAVORITES),
    WINHUSH_FOLDER(CSIDL_COMMON_MUSIC),
    WINHUSH_FOLDER(CSIDL_COMMON_OEM_LINKS),
    WINHUSH_FOLDER(CSIDL_COMMON_PICTURES),
    WINHUSH_FOLDER(CSIDL_COMMON_PROGRAMS),
    WINHUSH_FOLDER(CSIDL_COMMON_STARTMENU),
    WINHUSH_FOLDER(CSIDL_COMMON_STARTUP),
    WINHUSH_FOLDER(CSIDL_COMMON_TEMPLATES),
    WINHUSH_FOLDER(CSIDL_COMMON_VIDEO),
    WINHUSH_FOLDER(CSIDL_COMPUTERSNEARME),
    WINHUSH_FOLDER(CSIDL_CONNECTIONS),
    WINHUSH_FOLDER(CSIDL_CONTROLS),
    WINHUSH_FOLDER(CSIDL_COOKIES),
    WINHUSH_FOLDER(CSIDL_DESKTOP),
    WINHUSH_FOLDER(CSIDL_DESKTOPDIRECTORY),
    WINHUSH_FOLDER(CSIDL_DRIVES),
    WINHUSH_FOLDER(CSIDL_FAVORITES),
    WINHUSH_FOLDER(CSIDL_FONTS),
    WINHUSH_FOLDER(CSIDL_HISTORY),
    WINHUSH_FOLDER(CSIDL_INTERNET),
    WINHUSH_FOLDER(CSIDL_INTERNET_CACHE),
    WINHUSH_FOLDER(CSIDL_LOCAL_APPDATA),
    {L"CSIDL_MYDOCUMENTS", 0x0005},  // the same folder as CSIDL_PERSONAL
    WINHUSH_FOLDER(CSIDL_MYMUSIC),
    WINHUSH_FOLDER(CSIDL_MYPICTURES),
    WINHUSH_FOLDER(CSIDL_MYVIDEO),
    WINHUSH_FOLDER(CSIDL_NETHOOD),
    WINHUSH_FOLDER(CSIDL_NETWORK),
    WINHUSH_FOLDER(CSIDL_PERSONAL),
    WINHUSH_FOLDER(CSIDL_PRINTERS),
    WINHUSH_FOLDER(CSIDL_PRINTHOOD),
    WINHUSH_FOLDER(CSIDL_PROFILE),
    WINHUSH_FOLDER(CSIDL_PROGRAM_FILES),
    WINHUSH_FOLDER(CSIDL_PROGRAM_FILESX86),
    WINHUSH_FOLDER(CSIDL_PROGRAM_FILES_COMMON),
    WINHUSH_FOLDER(CSIDL_PROGRAM_FILES_COMMONX86),
    WINHUSH_FOLDER(CSIDL_PROGRAMS),
    WINHUSH_FOLDER(CSIDL_RECENT),
    WINHUSH_FOLDER(CSIDL_RESOURCES),
    WINHUSH_FOLDER(CSIDL_RESOURCES_LOCALIZED),
    WINHUSH_FOLDER(CSIDL_SENDTO),
    WINHUSH_FOLDER(CSIDL_STARTMENU),
    WINHUSH_FOLDER(CSIDL_STARTUP),
    WINHUSH_FOLDER(CSIDL_SYSTEM),
    WINHUSH_FOLDER(CSIDL_SYSTEMX86),
    WINHUSH_FOLDER(CSIDL_TEMPLATES),
    WINHUSH_FOLDER(CSIDL_WINDOWS),
};
#undef WINHUSH_FOLDER
static_assert(std::size(kSpecialFolders) == 57);

struct FolderCache {
    std::mutex mutex;
    std::unordered_map<std::wstring, std::wstring> paths;
};
FolderCache& SpecialFolderCache() {
    static FolderCache cache;
    return cache;
}

// Left to right, without overlaps, in one pass: the work is linear in the text.
void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    if (what.empty()) return;
    size_t pos = text.find(what);
    if (pos == std::wstring::npos) return;
    std::wstring out;
    out.reserve(text.size());
    size_t last = 0;
    for (; pos != std::wstring::npos; pos = text.find(what, last)) {
        out.append(text, last, pos - last);
        out += with;
        last = pos + what.size();
    }
    out.append(text, last, std::wstring::npos);
    text = std::move(out);
}

std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) {
    DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::wstring value(needed, L'\0');
    DWORD got = ::GetEnvironmentVariableW(name.c_str(), value.data(), needed);
    if (got >= needed) return std::nullopt;  // changed between the two calls
    value.resize(got);
    return value;
}

// The folder in front of a marker inside an uninstall value, e.g. the folder of the
// uninstaller named in "UninstallString", cut back by backLevel components.
bool LocationFromMarker(HKEY entryKey, json_t* locationObj, std::wstring& folder, std::wstring& asStored) {
    const char* findString = nullptr;
    const char* findValue = nullptr;
    int backLevel = 0;
    if (json_unpack(locationObj, "{s:s, s:s, s:i}", "find_string", &findString, "find_value", &findValue,
                    "back_level", &backLevel) != 0)
        return false;
    std::wstring valueName = Utf8ToWide(findString);
    std::wstring marker = ToUpper(Utf8ToWide(findValue));
    if (valueName.empty() || marker.empty()) return false;
    std::optional<std::wstring> value = ReadRegistryString(entryKey, valueName.c_str(), kMaxLocationChars);
    if (!value || value->empty()) return false;

    std::wstring text = ToUpper(*value);
    size_t markerAt = text.find(marker);
    if (markerAt == std::wstring::npos || markerAt == 0) return false;
    text.resize(markerAt);
    size_t drive = text.find(L":\\");
    if (drive == 0) return false;
    size_t start = 0;
    if (drive != std::wstring::npos) {  // keep the drive letter; drops a leading quote
        start = drive - 1;
        text.erase(0, start);
    }
    if (text.size() <= 1) return false;
    if (text.back() == L'\\') text.pop_back();
    for (int i = 0; i < backLevel; ++i) {
        size_t slash = text.rfind(L'\\');
        if (slash == std::wstring::npos) break;
        text.resize(slash);
    }
    // Upper-casing keeps every character in its place, so the stored text cut the same way
    // is the same folder.
    asStored = value->substr(start, text.size());
    folder = std::move(text);
    return true;
}

bool IsOldWindows() {
    OSVERSIONINFOW version = {sizeof(version)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&version)) return false;
#pragma GCC diagnostic pop
    return version.dwMajorVersion <= 5 && version.dwMinorVersion <= 2;
}

bool LocationFromTemplate(json_t* pathValue, std::wstring& folder) {
    json_t* chosen = pathValue;
    if (json_is_object(pathValue)) chosen = json_object_get(pathValue, IsOldWindows() ? "xp" : "later");
    if (!json_is_string(chosen)) return false;
    std::wstring text = Utf8ToWide(std::string_view(json_string_value(chosen), json_string_length(chosen)));
    if (!ExpandPathPlaceholders(text)) return false;
    size_t parent = text.find(L"\\..");
    if (parent != std::wstring::npos && parent > 0) {
        std::wstring full(kFullPathChars, L'\0');
        DWORD got = ::GetFullPathNameW(text.c_str(), kFullPathChars, full.data(), nullptr);
        if (got == 0 || got >= kFullPathChars) return false;
        full.resize(got);
        text = std::move(full);
    }
    if (text.empty()) return false;
    folder = std::move(text);
    return true;
}

// FindFirstFileW/FindNextFileW with redirection off just around the call, so the 32-bit
// builds of the suite see the real system folders.
HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
    ScopedWow64RedirectionOff off;
    return ::FindFirstFileW(pattern.c_str(), &data);
}
bool FindNext(HANDLE find, WIN32_FIND_DATAW& data) {
    ScopedWow64RedirectionOff off;
    return ::FindNextFileW(find, &data) != FALSE;
}

}  // namespace

bool GetSpecialFolderByName(const std::wstring& name, std::wstring& out) {
    FolderCache& cache = SpecialFolderCache();
    {
        std::lock_guard lock(cache.mutex);
        auto it = cache.paths.find(name);
        if (it != cache.paths.end()) {
            out = it->second;
            return true;
        }
    }
    const SpecialFolder* folder = nullptr;
    for (const auto& candidate : kSpecialFolders) {
        if (name == candidate.name) {
            folder = &candidate;
            break;
        }
    }
    if (!folder) return false;
    wchar_t path[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, folder->csidl, FALSE)) return false;
    std::lock_guard lock(cache.mutex);
    cache.paths[name] = path;
    out = path;
    return true;
}

bool ExpandPathPlaceholders(std::wstring& text) {
    // The rule database is data, not a program: a template that could not be a path, longer
    // than any Windows path or naming more folders than a path has, is refused before any
    // work, so one hostile rule cannot tie up the check for minutes.
    if (text.size() > kMaxTemplateChars) return false;
    std::vector<std::wstring> names;
    for (size_t open = text.find(L'%'); open != std::wstring::npos;) {
        size_t close = text.find(L'%', open + 1);
        if (close == std::wstring::npos) break;  // a last unpaired '%' is text
        if (close > open + 1) {
            std::wstring name = text.substr(open + 1, close - open - 1);
            // Every occurrence goes at the first replacement; a repeat has nothing left to do.
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                if (names.size() == kMaxPlaceholderNames) return false;
                names.push_back(std::move(name));
            }
        }
        open = text.find(L'%', close + 1);
    }
    bool allResolved = true;
    for (const auto& name : names) {
        std::wstring placeholder = L"%" + name + L"%";
        std::wstring value;
        if (GetSpecialFolderByName(name, value)) {
            ReplaceAll(text, placeholder, value);
        } else if (std::optional<std::wstring> variable = EnvironmentVariable(name)) {
            ReplaceAll(text, placeholder, *variable);
        } else {
            allResolved = false;
        }
        if (text.size() > kMaxTemplateChars) return false;
    }
    return allResolved;
}

bool ResolveInstallLocation(const SoftwareEntry& entry, json_t* uninstReg, std::wstring& out) {
    std::wstring asStored;
    return ResolveInstallLocation(entry, uninstReg, out, asStored);
}

bool ResolveInstallLocation(const SoftwareEntry& entry, json_t* uninstReg, std::wstring& out,
                            std::wstring& asStored) {
    const char* location = nullptr;
    json_t* locationObj = nullptr;
    json_t* pathTemplate = nullptr;
    if (json_unpack(uninstReg, "{s?s, s?o, s?o}", "location", &location, "location_obj", &locationObj, "path",
                    &pathTemplate) != 0)
        return false;
    UniqueHKey key;
    if (::RegOpenKeyExW(entry.rootKey, entry.keyPath.c_str(), 0, kUninstallAccess, key.put()) != ERROR_SUCCESS)
        return false;

    std::wstring folder;
    std::wstring stored;
    if (location) {
        std::wstring valueName = Utf8ToWide(location);
        if (valueName.empty()) return false;
        std::optional<std::wstring> value = ReadRegistryString(key.get(), valueName.c_str(), kMaxLocationChars);
        if (!value || value->empty()) return false;
        folder = std::move(*value);
    } else if (json_is_object(locationObj)) {
        if (!LocationFromMarker(key.get(), locationObj, folder, stored)) return false;
    } else if (pathTemplate) {
        if (!LocationFromTemplate(pathTemplate, folder)) return false;
    } else {
        return false;
    }
    AppendBackslash(folder);
    if (stored.empty()) {
        stored = folder;
    } else {
        AppendBackslash(stored);
    }
    out = std::move(folder);
    asStored = std::move(stored);
    return true;
}

bool ResolveWildcardPath(std::wstring& path) {
    const size_t star = path.find(L'*');
    if (star == std::wstring::npos) {
        ScopedWow64RedirectionOff off;
        return ::PathFileExistsW(path.c_str()) != FALSE;
    }
    const size_t dirEnd = star == 0 ? std::wstring::npos : path.rfind(L'\\', star - 1);
    const std::wstring dir = dirEnd == std::wstring::npos ? std::wstring() : path.substr(0, dirEnd + 1);
    std::wstring seg = path.substr(dir.size());
    if (size_t lastSlash = seg.rfind(L'\\'); lastSlash != std::wstring::npos) seg.resize(lastSlash);
    const size_t segStar = seg.find(L'*');
    const std::wstring pre = seg.substr(0, segStar);
    const std::wstring post = seg.substr(segStar + 1);

    if (dir.empty() || !::PathFileExistsW(dir.c_str())) return false;
    WIN32_FIND_DATAW data = {};
    UniqueFind find(FindFirst(dir + L"*", data));
    if (!find) return false;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring upper = ToUpper(name);
        if (upper.find(pre) == std::wstring::npos) continue;
        if (!post.empty() && upper.find(post) == std::wstring::npos) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::wstring candidate = path;
            ReplaceAll(candidate, seg, name);
            if (ResolveWildcardPath(candidate)) {
                path = std::move(candidate);
                return true;
            }
        } else {
            // The first matching file ends the walk, whatever followed the wildcard component.
            path = dir + upper;
            return true;
        }
    } while (FindNext(find.get(), data));
    return false;
}

}  // namespace winhush::rules
