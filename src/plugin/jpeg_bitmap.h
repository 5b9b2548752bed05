// Turning the thumbnail JPEG into the bitmap the host receives.
#pragma once
#include <windows.h>
#include <stdio.h>

// Fits the JPEG at `path` into a cell (never enlarged, aspect kept) and
// returns a bitmap the caller owns, or null. The file is closed on return.
HBITMAP makeThumbnailBitmap(const wchar_t* path, int cellWidth, int cellHeight);
// The same for a JPEG already open for reading from its start (the file
// stays open). *decoded (when given) tells a file that does not decode
// from a bitmap that could not be made.
HBITMAP makeThumbnailBitmapFromFile(FILE* file, int cellWidth, int cellHeight, bool* decoded);

// The two halves of the above, for callers that time them apart: the box
// a cell's picture is decoded into (decodeJpegToRgb's in/out arguments),
// and the bitmap from the decoded pixels, which it frees.
void thumbnailDecodeBox(int cellWidth, int cellHeight, int* width, int* height, bool* supersample);
HBITMAP makeBitmapFromPixels(unsigned char* pixels, int width, int height, bool supersample);
