// Keeping the settings file able to hold the values written into it.
#pragma once

// Makes sure the settings file can take `value` as it is. A file without a
// UTF-16LE byte-order mark is written by the profile functions in the ANSI
// code page, which turns every other character into '?' for good; such a
// file is first rewritten in UTF-16LE, keeping its whole content, and a
// missing file is created so. Returns 0 when the value must not be written:
// the file could not be converted (read-only, held by another program,
// too large), and the value is then kept in memory only.
int SettingsFileCanHold(const wchar_t* iniPath, const wchar_t* value);
