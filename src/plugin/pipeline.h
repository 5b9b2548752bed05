// One thumbnail request from the host's path and cell size to the bitmap.
#pragma once
#include <windows.h>
#include <stdio.h>

HBITMAP ThumbnailRequest(const wchar_t* path, int width, int height);

// The request's road from its size gate to the stream cache's decision,
// for a path and media kind that passed the checks before it: starts the
// per-request state, steps the frame position on a repeat, and with the
// cache in use looks for the kept thumbnail. 0 refuses the request; on a
// hit *kept is the thumbnail stream, open for decoding (the caller closes
// it). The media benchmark times this part of a hit on its own.
int findKeptThumbnail(const wchar_t* path, int kind, FILE** kept);

// Tests stand in for the generators with this; null in the plug-in.
typedef int (*GeneratorFn)(int mediaKind, const wchar_t* source, wchar_t* out);
extern GeneratorFn gGeneratorOverride;
