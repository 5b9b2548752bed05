#include "file_times.h"

#include <gtest/gtest.h>

bool GetTimes(const std::wstring& path, FileTimes* times)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = GetFileTime(file, &times->creation, &times->access, &times->write);
    CloseHandle(file);
    return ok != 0;
}

bool SetTimes(const std::wstring& path, const FileTimes& times)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(file, &times.creation, &times.access, &times.write);
    CloseHandle(file);
    return ok != 0;
}

FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second, int hundredNs)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart += (ULONGLONG)hundredNs;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    return ft;
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

FILETIME AddSeconds(FILETIME time, int seconds)
{
    ULARGE_INTEGER t;
    t.LowPart = time.dwLowDateTime;
    t.HighPart = time.dwHighDateTime;
    t.QuadPart += (ULONGLONG)(long long)seconds * 10000000;
    time.dwLowDateTime = t.LowPart;
    time.dwHighDateTime = t.HighPart;
    return time;
}

unsigned long long TimeValue(const FILETIME& time)
{
    return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

bool MoveTimesAfter(const std::wstring& path, const FILETIME& since, int seconds)
{
    FileTimes times;
    if (!GetTimes(path, &times)) return false;
    times.write = AddSeconds(since, seconds);
    times.access = AddSeconds(times.write, 1);
    return SetTimes(path, times);
}

void ExpectTimesKept(const std::wstring& path, const FILETIME& time, bool access)
{
    FileTimes now;
    ASSERT_TRUE(GetTimes(path, &now));
    EXPECT_EQ(TimeValue(time), TimeValue(now.creation));
    if (access) {
        EXPECT_EQ(TimeValue(time), TimeValue(now.access));
    }
    EXPECT_EQ(TimeValue(time), TimeValue(now.write));
}
