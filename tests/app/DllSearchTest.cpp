// The elevated program loads run-time DLLs from System32 only: a DLL planted beside the
// executable or in the current directory under a name that is not a system DLL's is no
// longer found once the search is restricted. Its own test program, since the restriction
// holds for the whole process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "app/DllSearch.h"

namespace {

using namespace winhush;
using namespace winhush::test;

std::wstring SystemDll(const wchar_t* name) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\" + name;
}

std::wstring ExecutableDir() {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    return dir.substr(0, dir.rfind(L'\\') + 1);
}

bool Loads(const std::wstring& name) {
    HMODULE module = ::LoadLibraryW(name.c_str());
    if (module) ::FreeLibrary(module);
    return module != nullptr;
}

TEST(DllSearch, PlantedDllsBesideTheProgramOrInTheCurrentFolderAreNotLoaded) {
    ScopedTempDir current;
    const std::wstring besideName = L"winhush_planted_exe_" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    const std::wstring currentName = L"winhush_planted_cwd_" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    const std::wstring beside = ExecutableDir() + besideName;
    ASSERT_TRUE(::CopyFileW(SystemDll(L"msimg32.dll").c_str(), beside.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(SystemDll(L"msimg32.dll").c_str(), (current / currentName).c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(current.path().c_str()));

    // Found by the ordinary search: the planted files are loadable DLLs.
    EXPECT_TRUE(Loads(besideName));
    EXPECT_TRUE(Loads(currentName));

    EXPECT_TRUE(RestrictDllSearchToSystem32());
    EXPECT_FALSE(Loads(besideName)) << "a DLL beside the program was loaded";
    EXPECT_FALSE(Loads(currentName)) << "a DLL in the current folder was loaded";
    EXPECT_TRUE(Loads(L"msimg32.dll")) << "System32 is still searched";

    ::SetCurrentDirectoryW(previous);
    ::DeleteFileW(beside.c_str());
}

}  // namespace
