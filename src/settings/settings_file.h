// Where the settings file lies and what the loader needs from it as a file.
#pragma once
#include <windows.h>

// Forms "<dir>\<module name without extension>.ini" and the plug-in
// directory (ending with its separator) from the module's full file name.
// Both buffers hold MAX_PATH characters. Returns 0, leaving both empty,
// when the settings file path would be longer than MAX_PATH - 1.
int FormSettingsPath(const wchar_t* moduleFileName, wchar_t* iniPath, wchar_t* pluginDirectory);

// Creates the settings file, empty but for a UTF-16LE byte-order mark, if
// it does not exist yet. Returns 1 when it made the file.
int CreateUnicodeSettingsFile(const wchar_t* iniPath);

// Creation, last-access and last-write times. Returns 0 when unreadable or
// when the path names a folder.
int GetSettingsFileTimes(const wchar_t* iniPath, FILETIME times[3]);
