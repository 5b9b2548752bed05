// Reading and writing settings files as text, around the profile functions,
// so tests see exactly what a user's editor would.
#pragma once
#include <string>
#include <vector>

// File bytes starting with the UTF-16LE byte-order mark.
bool IsUtf16(const std::string& bytes);
// UTF-16LE bytes with the byte-order mark, as Notepad saves them.
std::string Utf16Bytes(const std::wstring& text);
// The file's text, whatever encoding the profile functions chose ("" when
// the file cannot be read).
std::wstring IniFileText(const std::wstring& path);
// Its non-empty lines without line ends.
std::vector<std::wstring> IniFileLines(const std::wstring& path);
// A settings version as the plug-in stores it (e.g. "20210405").
std::wstring VersionText(double version);
// The value of `key` as the file holds it; "<missing>" without such a line.
std::wstring IniValueInFile(const std::wstring& path, const std::wstring& key);
