// What the generators do around a tool run that writes into the output.
#pragma once
#include <windows.h>

// Cuts an existing output to 0 bytes; a missing one stays missing.
void emptyOutput(const wchar_t* out);
