// Finding the tools a user already has, for tool keys that still name the
// default place beside the plug-in while nothing stands there.
#pragma once

#include "settings/settings_keys.h"

// Reads a kSettingToolPath key into its variable, as IniReadChars would
// with the default below `pluginDirectory`. When the value is that default
// and no program file stands there, the program is looked for in the
// absolute folders on PATH, then in its install folders and its App Paths
// entry; the first found is written into the key and used. Anything else
// (a path the user wrote, NULL) is taken as it is. Returns 0 when the
// value is too long for the variable, which is then empty.
int ReadToolPathSetting(const wchar_t* iniPath, const wchar_t* pluginDirectory, const SettingKey* key,
                        bool forceDefault);

