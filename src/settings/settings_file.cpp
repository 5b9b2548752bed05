#include "settings/settings_file.h"

#include <wchar.h>

#include "common/format.h"

int FormSettingsPath(const wchar_t* moduleFileName, wchar_t* iniPath, wchar_t* pluginDirectory)
{
    iniPath[0] = 0;
    pluginDirectory[0] = 0;
    if (!moduleFileName || !moduleFileName[0]) return 0;

    // The directory ends after the last separator (or after a bare drive).
    size_t length = wcslen(moduleFileName);
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = moduleFileName[i];
        if (c == L'\\' || c == L'/' || c == L':') nameStart = i + 1;
    }
    size_t nameEnd = length;
    for (size_t i = nameStart; i < length; ++i) {
        if (moduleFileName[i] == L'.') nameEnd = i;
    }
    // Without its extension; ".ini" adds four characters.
    if (nameEnd + 4 > MAX_PATH - 1) return 0;

    wmemcpy(pluginDirectory, moduleFileName, nameStart);
    pluginDirectory[nameStart] = 0;
    wmemcpy(iniPath, moduleFileName, nameEnd);
    iniPath[nameEnd] = 0;
    AppendWide(iniPath, MAX_PATH, L".ini");
    return 1;
}

// A profile file that starts with a UTF-16LE byte-order mark is written in
// UTF-16 by the profile functions, so folder names and values outside the
// ANSI code page survive and editors recognise the encoding. An existing
// file keeps whatever encoding it has.
int CreateUnicodeSettingsFile(const wchar_t* iniPath)
{
    static const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
    int made = 0;
    DWORD written = 0;
    HANDLE file = CreateFileW(iniPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    if (!WriteFile(file, kByteOrderMark, sizeof kByteOrderMark, &written, NULL)) goto done;
    made = written == sizeof kByteOrderMark;
done:
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        // A half-written mark would make the file look like ANSI garbage.
        if (!made) DeleteFileW(iniPath);
    }
    return made;
}

// An attribute query opens nothing: an editor or a sync tool that holds the
// file open, with whatever sharing, cannot make the times unreadable, and
// it is the cheapest look at the file that a request can take.
int GetSettingsFileTimes(const wchar_t* iniPath, FILETIME times[3])
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(iniPath, GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    times[0] = data.ftCreationTime;
    times[1] = data.ftLastAccessTime;
    times[2] = data.ftLastWriteTime;
    return 1;
}
