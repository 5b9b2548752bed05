#include "plugin/file_info.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/format.h"
#include "plugin/state.h"

void getFileExtension(wchar_t* path)
{
    // The platform's path splitting: the extension is the last component's
    // text from its last dot, limited to _MAX_EXT (256) with the dot.
    wchar_t extension[_MAX_EXT];
    if (_wsplitpath_s(path, NULL, 0, NULL, 0, NULL, 0, extension, _MAX_EXT) != 0) {
        path[0] = 0;
        return;
    }
    const wchar_t* start = extension[0] == L'.' ? extension + 1 : extension;
    size_t n = wcslen(start);
    memmove(path, start, (n + 1) * sizeof(wchar_t));
}

long long getFileSize64(const wchar_t* path)
{
    long long result = -1;
    LARGE_INTEGER size;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    if (!GetFileSizeEx(file, &size)) goto done;
    result = size.QuadPart;
done:
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return result;
}

int makeTemporaryOutput(wchar_t* out)
{
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    DWORD n = GetTempPathW(259, folder);
    if (n == 0 || n >= 259) return 0;
    if (!GetTempFileNameW(folder, L"vsl", 0, name)) return 0;
    // GetTempFileNameW created the file: a name we cannot use is removed.
    if (wcslen(name) >= 260 || !CopyWide(out, kThumbOutChars, name)) {
        DeleteFileW(name);
        return 0;
    }
    return 1;
}
