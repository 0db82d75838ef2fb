// The settings key HKLM\SOFTWARE\Zelvane\Winhush (64-bit view): twelve values read on
// demand and written at once. There is no settings object in memory; only the
// "InstSoftware" text is kept after its first read.
//
// Every reader accepts a null key and then answers the default, so callers never branch on
// whether the key could be opened (it cannot without administrator rights).
#pragma once

#include <windows.h>

#include <string>

#include "base/Handles.h"

namespace winhush::settings {

inline constexpr wchar_t kBlock[] = L"Block";
inline constexpr wchar_t kIconTip[] = L"IconTip";
inline constexpr wchar_t kAutoRun[] = L"AutoRun";
inline constexpr wchar_t kScanSoftware[] = L"ScanSoftware";
inline constexpr wchar_t kInstSoftware[] = L"InstSoftware";
inline constexpr wchar_t kBlockCount[] = L"BlockCount";
inline constexpr wchar_t kAutoCheck[] = L"AutoCheck";
inline constexpr wchar_t kHideTray[] = L"HideTray";
inline constexpr wchar_t kIsLocateShortcut[] = L"IsLocateStortcut";
inline constexpr wchar_t kLocateShortcut[] = L"LocateStortcut";
inline constexpr wchar_t kIsMainShortcut[] = L"IsMainStortcut";
inline constexpr wchar_t kMainShortcut[] = L"MainStortcut";

inline constexpr wchar_t kSettingsKeyPath[] = L"SOFTWARE\\Zelvane\\Winhush";
inline constexpr wchar_t kDefaultLocateShortcut[] = L"18,16,65";
inline constexpr wchar_t kDefaultMainShortcut[] = L"18,16,90";
inline constexpr wchar_t kDefaultInstSoftware[] = L".";

// Opens the settings key for reading (KEY_READ) or writing (KEY_ALL_ACCESS); creates it
// under SOFTWARE\Zelvane when it does not exist. Null when neither works.
UniqueHKey OpenSettingsKey(bool forWriting);

// The default of one of the eight boolean values (1 for unknown names).
DWORD FlagDefault(const wchar_t* valueName);

// A boolean value as 0 or 1; a missing or mistyped value is answered with its default,
// which is written back when the key is writable. "AutoRun" is read through
// SyncAutoStartTask (AutoStartTask.h), which also brings the task in line.
DWORD ReadFlag(HKEY key, const wchar_t* valueName);

// The total block counter, unchanged; a missing or mistyped value reads as 0 (written back).
DWORD ReadBlockCount(HKEY key);

// Parses a hotkey text "%d,%d,%d" into three codes (-1 where absent); the result is the
// number of codes other than -1, or 0 when nothing could be parsed.
int ParseHotkeyText(const wchar_t* text, int& k1, int& k2, int& k3);

// One of the two hotkey values; an invalid stored text is replaced by the default.
int ReadHotkey(HKEY key, const wchar_t* valueName, int& k1, int& k2, int& k3);
void WriteHotkey(HKEY key, const wchar_t* valueName, int k1, int k2, int k3);

void WriteDword(HKEY key, const wchar_t* valueName, DWORD value);

// The announced-programs text. The first text read is kept for the rest of the run and
// appends do not refresh it: a program first announced in this run stays "new" for all of
// the run. The overload without a key opens the settings key only when nothing is kept.
std::wstring ReadInstSoftware(HKEY key);
std::wstring ReadInstSoftware();
// Adds "[name]" to the value as stored now (not to the kept copy) unless it holds it
// already. True when the stored value holds the entry afterwards.
bool AppendInstSoftware(HKEY key, const std::wstring& name);
// Forgets the kept text (a new run, or a test starting from the registry).
void ResetInstSoftwareCache();

}  // namespace winhush::settings
