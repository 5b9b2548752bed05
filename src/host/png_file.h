// PNG files of screen pictures, for vistrel-host's screenshots.
#pragma once
#include <stddef.h>

// Writes `width` x `height` pixels given as top-down rows of blue, green,
// red bytes, `stride` bytes apart, as an 8-bit RGB PNG. Returns false (and
// leaves no file) when it cannot.
bool WritePngFile(const wchar_t* path, int width, int height, const unsigned char* bgr, size_t stride);
