// Turning the thumbnail JPEG into the bitmap the host receives.
#pragma once
#include <windows.h>

// Fits the JPEG at `path` into a cell (never enlarged, aspect kept) and
// returns a bitmap the caller owns, or null. The file is closed on return.
HBITMAP makeThumbnailBitmap(const wchar_t* path, int cellWidth, int cellHeight);
