// File times in tests: reading, setting and moving them as an editor or a
// file system would.
#pragma once
#include <windows.h>

#include <string>

struct FileTimes {
    FILETIME creation, access, write;
};
bool GetTimes(const std::wstring& path, FileTimes* times);
bool SetTimes(const std::wstring& path, const FileTimes& times);
FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second, int hundredNs = 0);
bool SameTime(const FILETIME& a, const FILETIME& b);
FILETIME AddSeconds(FILETIME time, int seconds);
unsigned long long TimeValue(const FILETIME& time); // 100 ns units
// Fails the current test unless the file's creation, last-access (unless
// `access` is false: a read may stamp it) and last-write times are `time`,
// to the 100 ns.
void ExpectTimesKept(const std::wstring& path, const FILETIME& time, bool access = true);

// Sets the last-write time to `seconds` after `since`, and the last-access
// time one second past that. A user's edit comes well after the plug-in's
// last write, and a coarse file-system clock must not give both one time;
// an access time not newer than the write time would move on every read
// (relatime), which would look like one more edit.
bool MoveTimesAfter(const std::wstring& path, const FILETIME& since, int seconds);
