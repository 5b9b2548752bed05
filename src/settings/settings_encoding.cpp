#include "settings/settings_encoding.h"

#include <windows.h>

#include <string.h>
#include <wchar.h>

#include "cache/profile_text.h"
#include "settings/settings_file.h"

// A settings file is a few kilobytes; anything far larger is not ours to
// rewrite.
static const DWORD kLargestConvertedFile = 1 << 20;

static bool fitsAnsiCodePage(const wchar_t* value)
{
    // UTF-8 as the system code page holds every character (and refuses the
    // default-character query below).
    if (GetACP() == CP_UTF8) return true;
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, value, -1, NULL, 0, NULL, &usedDefault);
    return n > 0 && !usedDefault;
}

// The whole file, or 0 when it cannot be read or is too large.
static int readWholeFile(const wchar_t* path, char** bytes, DWORD* size)
{
    int ok = 0;
    LARGE_INTEGER length;
    DWORD got = 0;
    *bytes = NULL;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    if (!GetFileSizeEx(file, &length) || length.QuadPart > kLargestConvertedFile) goto done;
    *size = (DWORD)length.QuadPart;
    *bytes = (char*)HeapAlloc(GetProcessHeap(), 0, *size + 1);
    if (!*bytes) goto done;
    ok = *size == 0 || (ReadFile(file, *bytes, *size, &got, NULL) && got == *size);
done:
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok && *bytes) {
        HeapFree(GetProcessHeap(), 0, *bytes);
        *bytes = NULL;
    }
    return ok;
}

// Writes the mark and the text into a new file beside the settings file and
// puts it in the settings file's place in one rename, so that a failure at
// any point leaves the user's file as it was.
static int replaceWithUtf16(const wchar_t* iniPath, DWORD attributes, const wchar_t* text, int length)
{
    static const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
    int replaced = 0;
    bool written = false;
    DWORD wrote = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    wchar_t folder[MAX_PATH];
    wchar_t temporary[MAX_PATH];
    temporary[0] = 0;
    const wchar_t* slash = wcsrchr(iniPath, L'\\');
    size_t folderLength = slash ? (size_t)(slash - iniPath) + 1 : 0;
    // GetTempFileNameW adds up to 14 characters to the folder.
    if (folderLength == 0 || folderLength + 14 >= MAX_PATH) goto done;
    wmemcpy(folder, iniPath, folderLength);
    folder[folderLength] = 0;
    if (!GetTempFileNameW(folder, L"vsl", 0, temporary)) {
        temporary[0] = 0;
        goto done;
    }
    file = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    if (!WriteFile(file, kByteOrderMark, sizeof kByteOrderMark, &wrote, NULL) || wrote != sizeof kByteOrderMark)
        goto done;
    if (length > 0) {
        DWORD bytes = (DWORD)length * sizeof(wchar_t);
        if (!WriteFile(file, text, bytes, &wrote, NULL) || wrote != bytes) goto done;
    }
    written = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (!written) goto done;
    // Hidden or archive stays as the user had it.
    SetFileAttributesW(temporary, attributes);
    replaced = MoveFileExW(temporary, iniPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
done:
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!replaced && temporary[0]) {
        SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary);
    }
    return replaced;
}

int SettingsFileCanHold(const wchar_t* iniPath, const wchar_t* value)
{
    if (fitsAnsiCodePage(value)) return 1;

    DWORD attributes = GetFileAttributesW(iniPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // Missing: made in UTF-16 from the start; one that another writer
        // made meanwhile is taken as it is.
        return CreateUnicodeSettingsFile(iniPath) || GetFileAttributesW(iniPath) != INVALID_FILE_ATTRIBUTES;
    }
    // A read-only file is the user's decision not to have it written.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return 0;

    int holds = 0;
    char* bytes = NULL;
    wchar_t* text = NULL;
    DWORD size = 0;
    int length;
    if (!readWholeFile(iniPath, &bytes, &size)) goto done;
    // UTF-16 in either order already holds every character.
    if (size >= 2 && (memcmp(bytes, "\xFF\xFE", 2) == 0 || memcmp(bytes, "\xFE\xFF", 2) == 0)) {
        holds = 1;
        goto done;
    }
    // Never more characters than bytes, whatever the code page.
    text = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, ((size_t)size + 1) * sizeof(wchar_t));
    if (!text) goto done;
    // Broken UTF-8 would come back altered: such a file is left alone.
    length = decodeProfileBytes((const unsigned char*)bytes, size, text, (size_t)size + 1);
    if (length < 0) goto done;
    holds = replaceWithUtf16(iniPath, attributes, text, length);
done:
    if (text) HeapFree(GetProcessHeap(), 0, text);
    if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
    return holds;
}
