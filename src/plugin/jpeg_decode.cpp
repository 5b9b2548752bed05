#include "plugin/jpeg_decode.h"

#include <stdlib.h>
#include <string.h>

#include "plugin/jpeg_fit.h"
#include "plugin/jpeg_guard.h"
#include "plugin/jpeg_pixels.h"
#include "plugin/jpeg_source.h"

bool readJpegRow(j_decompress_ptr cinfo, JDIMENSION row, JSAMPARRAY buffer)
{
    // jpeg_skip_scanlines (libjpeg-turbo) keeps entropy decoding every row but
    // spares the inverse transform of whole skipped iMCU rows, and the
    // upsampling and colour conversion of skipped rows. Started in the
    // middle of a row group of a file without context upsampling (h1v4,
    // h4v2 ...), it counts the group as done while the upsampler still holds
    // its rest, and later hands out a row of the wrong group. Reading up to
    // the group boundary first keeps every delivered row exact.
    JDIMENSION group = cinfo->max_v_samp_factor > 0 ? (JDIMENSION)cinfo->max_v_samp_factor : 1;
    while (cinfo->output_scanline < row && cinfo->output_scanline % group != 0) {
        if (jpeg_read_scanlines(cinfo, buffer, 1) != 1) return false;
    }
    if (cinfo->output_scanline < row) jpeg_skip_scanlines(cinfo, row - cinfo->output_scanline);
    if (cinfo->output_scanline != row) return false;
    return jpeg_read_scanlines(cinfo, buffer, 1) == 1;
}

// Picks the used rows out of the started decompressor into `pixels`
// (width x height, already white). Rows the library cannot give stay white.
static void readSampledRows(j_decompress_ptr cinfo, unsigned width, unsigned height,
                            unsigned char* pixels)
{
    int components = cinfo->out_color_components;
    // Only grey and RGB rows are shown; four-channel (CMYK, YCCK) pictures
    // stay white, so their rows are not decoded at all.
    if (components != 3 && components != 1) return;
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)((j_common_ptr)cinfo, JPOOL_IMAGE,
                                                 cinfo->output_width * (JDIMENSION)components, 1);
    JpegStride rows;
    jpegStrideStart(&rows, cinfo->output_height, height);
    JDIMENSION source = rows.step / 2;
    for (unsigned y = 0; y < height; y++) {
        if (y > 0) source += jpegStrideNext(&rows);
        if (!readJpegRow(cinfo, source, row)) return;
        unsigned char* target = pixels + (size_t)width * 3 * y;
        if (components == 3)
            sampleRowRgb(row[0], cinfo->output_width, width, target);
        else
            sampleRowGray(row[0], cinfo->output_width, width, target);
    }
}

// Decodes into *pixels; false when the library stopped on a fatal error.
// The recovery point is set here and every object that outlives a jump back
// to it (the decompressor, its error manager and scan limit, the file and
// the pixel buffer) belongs to the caller. Nothing this frame changes after
// the recovery point is read after a jump, so no local needs to be volatile.
static bool decodeOpenedJpeg(j_decompress_ptr cinfo, JpegErrorManager* errors, JpegScanLimit* limit, FILE* file,
                             unsigned char** pixels, int* width, int* height, bool* supersample)
{
    if (__builtin_setjmp(errors->recovery)) return false;

    jpeg_create_decompress(cinfo);
    jpegBoundDecoder(cinfo, limit);
    jpegFileSource(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    jpeg_start_decompress(cinfo);

    unsigned boxWidth = *width > 0 ? (unsigned)*width : 1;
    unsigned boxHeight = *height > 0 ? (unsigned)*height : 1;
    if (*supersample && cinfo->output_width <= boxWidth && cinfo->output_height <= boxHeight) {
        // It fits the doubled box: decode for the plain cell, halve nothing.
        *supersample = false;
        boxWidth >>= 1;
        boxHeight >>= 1;
        if (!boxWidth) boxWidth = 1;
        if (!boxHeight) boxHeight = 1;
    }
    unsigned fittedWidth = 0, fittedHeight = 0;
    fitJpegSize(cinfo->output_width, cinfo->output_height, boxWidth, boxHeight, &fittedWidth,
                &fittedHeight);
    *width = (int)fittedWidth;
    *height = (int)fittedHeight;

    size_t bytes = (size_t)fittedWidth * fittedHeight * 3;
    *pixels = (unsigned char*)malloc(bytes);
    if (!*pixels) return false;
    memset(*pixels, 255, bytes);
    readSampledRows(cinfo, fittedWidth, fittedHeight, *pixels);
    // Rows after the last used one are never read: destroying the
    // decompressor does not need them, and reading them costs time.
    return true;
}

unsigned char* decodeJpegToRgb(const wchar_t* path, int* width, int* height, bool* supersample)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file) return NULL;
    unsigned char* pixels = decodeJpegFileToRgb(file, width, height, supersample);
    fclose(file);
    return pixels;
}

unsigned char* decodeJpegFileToRgb(FILE* file, int* width, int* height, bool* supersample)
{
    struct jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    JpegScanLimit limit;
    unsigned char* pixels = NULL;

    // Zeroed, so that destroying is safe however early a failure comes.
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (!decodeOpenedJpeg(&cinfo, &errors, &limit, file, &pixels, width, height, supersample)) {
        free(pixels);
        pixels = NULL;
    }
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}
