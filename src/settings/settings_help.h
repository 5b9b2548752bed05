// What each settings key means, in the words of the user guide. Kept apart
// from the key table, keyed by the key's name, so that the table stays the
// one place for names, defaults and types.
#pragma once
#include <stddef.h>

struct SettingHelp {
    const wchar_t* name; // as in gSettingKeys, or kSettingsVersionKey
    const wchar_t* meaning; // plain text; the reference wraps it
};

extern const SettingHelp gSettingHelp[];
extern const size_t gSettingHelpCount;

// The meaning of the key named `name`; null when the table has none.
const wchar_t* SettingMeaning(const wchar_t* name);
