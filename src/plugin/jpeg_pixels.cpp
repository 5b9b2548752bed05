#include "plugin/jpeg_pixels.h"

#include <stdlib.h>
#include <string.h>

#include "plugin/jpeg_fit.h"

void sampleRowRgb(const unsigned char* source, unsigned sourceWidth, unsigned targetWidth,
                  unsigned char* target)
{
    JpegStride stride;
    jpegStrideStart(&stride, sourceWidth, targetWidth);
    // Colour rows take the middle sample of each group, so that a row of
    // blocks is not represented by its edge.
    const unsigned char* pixel = source + (size_t)(stride.step / 2) * 3;
    for (unsigned x = 0; x < targetWidth; x++) {
        target[0] = pixel[0];
        target[1] = pixel[1];
        target[2] = pixel[2];
        target += 3;
        if (x + 1 < targetWidth) pixel += (size_t)jpegStrideNext(&stride) * 3;
    }
}

void sampleRowGray(const unsigned char* source, unsigned sourceWidth, unsigned targetWidth,
                   unsigned char* target)
{
    JpegStride stride;
    jpegStrideStart(&stride, sourceWidth, targetWidth);
    const unsigned char* pixel = source;
    for (unsigned x = 0; x < targetWidth; x++) {
        target[0] = target[1] = target[2] = *pixel;
        target += 3;
        if (x + 1 < targetWidth) pixel += jpegStrideNext(&stride);
    }
}

void swapRedBlue(unsigned char* pixels, unsigned width, unsigned height)
{
    size_t count = (size_t)width * height;
    for (size_t i = 0; i < count; i++, pixels += 3) {
        unsigned char red = pixels[0];
        pixels[0] = pixels[2];
        pixels[2] = red;
    }
}

// Byte length of a 24-bit row padded to a multiple of 4.
static size_t dibStride(unsigned width)
{
    return ((size_t)width * 24 + 31) / 32 * 4;
}

unsigned char* padRowsToDword(const unsigned char* pixels, unsigned width, unsigned height,
                              size_t* stride)
{
    size_t rowBytes = (size_t)width * 3;
    size_t padded = dibStride(width);
    size_t bytes = 0;
    if (__builtin_mul_overflow(padded, (size_t)height, &bytes)) return NULL;
    unsigned char* result = (unsigned char*)malloc(bytes);
    if (!result) return NULL;
    for (unsigned y = 0; y < height; y++) {
        unsigned char* row = result + padded * y;
        memcpy(row, pixels + rowBytes * y, rowBytes);
        // The filler carries no meaning; zero keeps the output reproducible.
        memset(row + rowBytes, 0, padded - rowBytes);
    }
    *stride = padded;
    return result;
}

void flipRows(unsigned char* pixels, size_t stride, unsigned height)
{
    // Swapping in place needs no scratch row, so this step cannot fail and
    // never hands out a picture standing on its head.
    for (unsigned y = 0; y < height / 2; y++) {
        unsigned char* top = pixels + stride * y;
        unsigned char* bottom = pixels + stride * (height - 1 - y);
        for (size_t i = 0; i < stride; i++) {
            unsigned char byte = top[i];
            top[i] = bottom[i];
            bottom[i] = byte;
        }
    }
}
