#include "plugin/file_info.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/format.h"

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
