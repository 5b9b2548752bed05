// Decoding the thumbnail JPEG straight into a small RGB buffer: only the
// rows and columns the fitted size uses are kept.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <jpeglib.h>

// Decodes the JPEG at `path` fitted into the box *width x *height. With
// *supersample set the box is a doubled cell; when the picture fits that
// box anyway the flag is cleared and it is fitted into the plain cell. On
// success *width and *height are the buffer's size in pixels (3 bytes each,
// RGB, rows top-down without gaps) and the caller frees the buffer with
// free(); null on any failure.
unsigned char* decodeJpegToRgb(const wchar_t* path, int* width, int* height, bool* supersample);
// The same for a JPEG already open for reading from its start; the file
// stays open.
unsigned char* decodeJpegFileToRgb(FILE* file, int* width, int* height, bool* supersample);

// Brings the started decompressor to source row `row` (not before its
// output_scanline) and reads that row into `buffer` (one row of
// output_width x output_components samples). The row is exactly what a
// read of every row would have given. False when the library gives no row.
bool readJpegRow(j_decompress_ptr cinfo, JDIMENSION row, JSAMPARRAY buffer);
