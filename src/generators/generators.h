// Thumbnail generators: each leaves a JPEG at `out` (a writable buffer of
// kThumbOutChars characters it may point elsewhere) and returns 1 when a
// non-empty JPEG stands there, 0 otherwise.
#pragma once
#include <windows.h>

int MakeMediaThumbnail(const wchar_t* source, wchar_t* out, int mode);
int irfanviewGetImageThumbnail(const wchar_t* source, wchar_t* out, const wchar_t* fileToLoad);
int MakeArchiveThumbnail(const wchar_t* source, wchar_t* out, int mode);
