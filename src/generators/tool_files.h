// What every generator does around a tool run: making sure the tool is
// there, and that the file it is to write starts out empty.
#pragma once
#include <windows.h>

// True when the tool can be opened for reading; otherwise tells the user
// which path the settings name and returns false.
bool requireTool(const wchar_t* path);
// Cuts an existing output to 0 bytes; a missing one stays missing.
void emptyOutput(const wchar_t* out);
