// Pieces of the image thumbnail that stand on their own: temporary names
// ending in a chosen extension, and the converter's argument text.
#pragma once
#include <windows.h>

// Creates the empty file "<temp dir><prefix><number>.<extension>" under a
// name no file had and puts that name into `destination` (at least 260
// characters); the caller deletes the file. False, with `destination`
// untouched and nothing created, when the temporary folder is unknown or
// too long, or no new file could be made.
bool MakeUniqueTempName(wchar_t* destination, const wchar_t* prefix, const wchar_t* extension);

// The converter's arguments for fitting `input` into width x height and
// writing a JPEG to `output` (kFormatWideChars characters). False, with
// `out` empty, when the text would not fit.
bool BuildImageArguments(wchar_t* out, const wchar_t* input, int width, int height, const wchar_t* midParams,
                         const wchar_t* output);
