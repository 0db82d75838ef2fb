// Where an installed program lives: the install folder computed from a rule's "uninst_reg"
// recipe (a registry value of the program's uninstall entry, a marker inside such a value,
// or a path template with special-folder and environment placeholders), and existence checks
// that resolve one '*' wildcard against the file system.
#pragma once

#include <jansson.h>

#include <string>

#include "rules/SoftwareInventory.h"

namespace winhush::rules {

// Writes the install folder (always ending with "\") to out; false on any failure. A failing
// method never falls back to the next one.
bool ResolveInstallLocation(const SoftwareEntry& entry, json_t* uninstReg, std::wstring& out);
// The same, and also the same folder in the letter case its source gives (out is upper case
// for "location_obj"), for looking files up: a file system like Wine's finds a path written
// as it is stored far faster than one it has to match folder by folder in any case.
bool ResolveInstallLocation(const SoftwareEntry& entry, json_t* uninstReg, std::wstring& out,
                            std::wstring& asStored);

// Replaces "%NAME%" placeholders by special folders (exact CSIDL_ names) or environment
// variables. False when any name could not be resolved (the text keeps what was replaced).
bool ExpandPathPlaceholders(std::wstring& text);

// The shell folder of a "CSIDL_..." name (exact case), cached for the process. No trailing "\".
bool GetSpecialFolderByName(const std::wstring& name, std::wstring& out);

// True when the path exists. A path with '*' is resolved by walking the folder that holds the
// wildcard component: the first matching entry the file system lists decides, and path is
// replaced by the existing path found. Letters of the pattern are compared against upper-case
// names, so callers pass upper-case paths to match in any case.
bool ResolveWildcardPath(std::wstring& path);

}  // namespace winhush::rules
