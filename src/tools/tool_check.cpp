#include "tools/tool_check.h"

#include <windows.h>

#include "common/messages.h"

static const wchar_t kToolMissing[] = L"File not found at specified location from ini";

// A path the user mistyped is the likeliest fault of a fresh setup: it is
// told at once, instead of a thumbnail or viewer that silently never comes.
bool RequireTool(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ErrorBox(path, kToolMissing);
        return false;
    }
    CloseHandle(file);
    return true;
}
