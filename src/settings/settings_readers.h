// Typed readers of one key of the settings file. A missing or empty key
// is written back with its default; write failures (read-only file) are
// ignored and the default is used in memory all the same.
#pragma once
#include <stddef.h>

// Raw value of `key` in `buffer` (kSettingsChars characters); "" when the
// key is missing or empty. Longer values are cut at kSettingsChars - 1.
void IniReadRaw(const wchar_t* iniPath, const wchar_t* key, wchar_t* buffer);
// Skipped when the file cannot hold the value (see SettingsFileCanHold).
void IniWrite(const wchar_t* iniPath, const wchar_t* key, const wchar_t* value);

// `target` holds `capacity` characters. A value that does not fit leaves
// it empty and returns 0 (refused); otherwise 1. "NULL" stands for the
// empty value. With `forceDefault` the default replaces whatever the file
// holds, in memory and in the file.
int IniReadChars(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue,
                 wchar_t* target, size_t capacity, bool forceDefault);
bool IniReadBool(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue, bool forceDefault);
double IniReadDouble(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue, bool forceDefault);
int IniReadInt(const wchar_t* iniPath, const wchar_t* key, const wchar_t* defaultValue);

// The decimal conversion of the readers: leading white space and a sign
// accepted, the longest numeric prefix taken, 0 without one.
double ParseSettingsDouble(const wchar_t* text);
