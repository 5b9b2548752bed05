#include "generators/tool_files.h"

#include "cache/stream_cache.h"
#include "common/messages.h"
#include "plugin/file_info.h"

bool requireTool(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ErrorBox(path, L"File not found at specified location from ini");
        return false;
    }
    CloseHandle(file);
    return true;
}

// The output is judged by its size afterwards. A thumbnail stream left
// from an earlier run would pass for this run's result when the tool fails
// or does not run, and the cache record written next would vouch for it.
void emptyOutput(const wchar_t* out)
{
    HANDLE file = CreateFileW(out, GENERIC_WRITE, FILE_SHARE_READ, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

int judgeOutput(const wchar_t* source, const wchar_t* out, bool* timesCaptured)
{
    // Judged before the times go back, so nothing touches the source after.
    int made = getFileSize64(out) > 0 ? 1 : 0;
    if (!*timesCaptured) return made;
    *timesCaptured = false;
    return restoreSourceTimes(source) ? made : 0;
}
