// What every generator does around a tool run: making sure the tool is
// there, that the file it is to write starts out empty, and judging what
// came out.
#pragma once
#include <windows.h>

// True when the tool can be opened for reading; otherwise tells the user
// which path the settings name and returns false.
bool requireTool(const wchar_t* path);
// Cuts an existing output to 0 bytes; a missing one stays missing.
void emptyOutput(const wchar_t* out);
// 1 when `out` holds something, else 0. When the source's times were
// captured (`*timesCaptured`), they are put back afterwards and the flag is
// cleared; a failure to put them back makes the result 0.
int judgeOutput(const wchar_t* source, const wchar_t* out, bool* timesCaptured);
