// A stdio data source for libjpeg with a large input buffer.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <jpeglib.h>

// Attaches `file` (open for reading) as the created decompressor's source;
// like jpeg_stdio_src, but the buffer lives in the decompressor's pool.
void jpegFileSource(j_decompress_ptr cinfo, FILE* file);
