#include "generators/tool_files.h"

// The output is judged by its size afterwards. A thumbnail stream left
// from an earlier run would pass for this run's result when the tool fails
// or does not run, and the cache record written next would vouch for it.
// Shared with writers too: a tool ended at the time limit that has not let
// go of the file yet must not keep what it wrote from being dropped.
void emptyOutput(const wchar_t* out)
{
    HANDLE file = CreateFileW(out, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
