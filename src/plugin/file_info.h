#pragma once
#include <windows.h>

// Reduces `path` (a buffer of at least 260 characters) in place to its
// extension without the dot; empty when the file name has none.
void getFileExtension(wchar_t* path);
// Size of a file or stream in bytes, -1 when it cannot be opened or read.
long long getFileSize64(const wchar_t* path);
// Creates an empty temporary file "vsl….tmp" and puts its name into `out`
// (kThumbOutChars characters). Returns 0 (and leaves no file) on failure.
int makeTemporaryOutput(wchar_t* out);
