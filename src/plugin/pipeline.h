// One thumbnail request from the host's path and cell size to the bitmap.
#pragma once
#include <windows.h>

HBITMAP ThumbnailRequest(const wchar_t* path, int width, int height);

// Tests stand in for the generators with this; null in the plug-in.
typedef int (*GeneratorFn)(int mediaKind, const wchar_t* source, wchar_t* out);
extern GeneratorFn gGeneratorOverride;
