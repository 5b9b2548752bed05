// The table of settings keys: name as written in the file, default, and
// the variable that receives the value, in the order a load reads them.
#pragma once
#include <stddef.h>

enum SettingType {
    kSettingText,     // "(chars)"
    kSettingToolPath, // "(chars)" whose default lies below the plug-in directory
    kSettingBool,     // "(bool)"
    kSettingInt,      // "(int)"
    kSettingDouble,   // "(double)"
};

struct SettingKey {
    const wchar_t* name;
    // For kSettingToolPath: the path relative to the plug-in directory.
    const wchar_t* defaultValue;
    SettingType type;
    wchar_t* text;    // text types
    size_t capacity;  // of `text`, terminator included
    bool* flag;       // kSettingBool
    int* number;      // kSettingInt
    double* real;     // kSettingDouble
    bool isList;      // an extension list, replaced on a settings upgrade
};

enum { kSettingKeyCount = 61 };
extern const SettingKey gSettingKeys[kSettingKeyCount];

extern const wchar_t kSettingsVersionKey[];
