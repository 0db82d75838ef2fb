// dbpack: packs named JSON files into a rule container (the database form the suite ships)
// and lists the entries of one.
//
//   dbpack OUTPUT NAME=FILE [NAME=FILE ...]   one entry per pair, in the order given; an
//                                             empty NAME makes an unnamed entry
//   dbpack --raw OUTPUT NAME=FILE ...         the same without checking that each file is JSON
//   dbpack --list CONTAINER                   prints "name<TAB>payload bytes" per entry
//
// A UTF-8 byte-order mark at the start of an input file is dropped. Exit codes: 0 done,
// 1 usage, 2 an input could not be read or is not JSON, 3 the output could not be written
// or the container refused the entries.
#include <windows.h>

#include <jansson.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/Handles.h"
#include "base/Strings.h"
#include "rules/RuleContainer.h"

using namespace winhush;
using namespace winhush::rules;

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kEntryLengthMask)) return false;
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!out.empty() && (!::ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) ||
                         got != out.size()))
        return false;
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

int Usage() {
    std::fwprintf(stderr,
                  L"usage: dbpack [--raw] OUTPUT NAME=FILE [NAME=FILE ...]\n"
                  L"       dbpack --list CONTAINER\n");
    return 1;
}

int List(const std::wstring& path) {
    RuleStorage storage;
    uint32_t format = 0;
    if (!storage.Open(WideToUtf8(path)) || !storage.ProbeFormat(format) || format != kContainerFormatId) {
        std::fwprintf(stderr, L"dbpack: %ls is not a rule container\n", path.c_str());
        return 2;
    }
    std::unique_ptr<ContainerView> view = storage.OpenView();
    if (!view) {
        std::fwprintf(stderr, L"dbpack: %ls is damaged\n", path.c_str());
        return 2;
    }
    for (auto entry = view->First(); entry; entry = view->Next(*entry)) {
        std::printf("%.*s\t%zu\n", static_cast<int>(entry->name().size()), entry->name().data(),
                    entry->payload().size());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == L"--list") return List(args[1]);
    bool checkJson = true;
    if (!args.empty() && args[0] == L"--raw") {
        checkJson = false;
        args.erase(args.begin());
    }
    if (args.size() < 2) return Usage();

    std::vector<ContainerInput> entries;
    for (size_t i = 1; i < args.size(); ++i) {
        size_t equals = args[i].find(L'=');
        if (equals == std::wstring::npos) return Usage();
        ContainerInput entry;
        entry.name = WideToUtf8(args[i].substr(0, equals));
        std::wstring file = args[i].substr(equals + 1);
        if (!ReadWholeFile(file, entry.payload)) {
            std::fwprintf(stderr, L"dbpack: cannot read %ls\n", file.c_str());
            return 2;
        }
        if (entry.payload.compare(0, 3, "\xEF\xBB\xBF") == 0) entry.payload.erase(0, 3);
        if (checkJson) {
            json_error_t error;
            json_t* parsed = json_loadb(entry.payload.data(), entry.payload.size(), 0, &error);
            if (!parsed) {
                std::fwprintf(stderr, L"dbpack: %ls is not JSON (line %d: %hs)\n", file.c_str(), error.line,
                              error.text);
                return 2;
            }
            json_decref(parsed);
        }
        entries.push_back(std::move(entry));
    }
    std::optional<std::string> container = BuildContainer(entries);
    if (!container) {
        std::fwprintf(stderr, L"dbpack: an entry name is longer than 127 bytes or an entry is too large\n");
        return 3;
    }
    if (!WriteWholeFile(args[0], *container)) {
        std::fwprintf(stderr, L"dbpack: cannot write %ls\n", args[0].c_str());
        return 3;
    }
    std::printf("%zu entries, %zu bytes\n", entries.size(), container->size());
    return 0;
}
