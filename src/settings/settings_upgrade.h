// What a settings file written by an older plug-in gets on its first load
// by this one, and the extension lists' tables that a load fills.
#pragma once

#include "settings/settings_version.h"

// Extensions that the built-in list of `list` gained with `version`. A
// later version adds rows (and raises kCurrentSettingsVersion); their
// extensions also go into the list's default in settings_keys.cpp.
struct ListAddition {
    double version;
    wchar_t* list; // the variable of one of the six list keys
    const wchar_t* extensions; // separated by ", "
};
enum { kListAdditionCount = 3 };
extern const ListAddition kListAdditions[kListAdditionCount];

// Parses the six list values into their tables.
void ParseExtensionLists();

// For a file stored with `storedVersion`: each extension of a newer row
// that stands in none of the six lists is appended to its list, in memory
// and in the file, after the text the user wrote. A list that is empty
// ("NULL": that kind turned off; or a value refused as too long, which
// must not be overwritten) gets nothing, and an extension that would not
// fit the value is left out. Needs the tables parsed; parses again
// what it changed.
void AddNewListExtensions(const wchar_t* iniPath, double storedVersion);
