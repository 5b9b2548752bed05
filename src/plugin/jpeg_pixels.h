// Pixel-buffer steps between the decoder's rows and a bottom-up 24-bit DIB.
#pragma once
#include <stddef.h>

// Copies `targetWidth` evenly spread pixels of a decoded RGB row (3 bytes a
// pixel), taking the middle pixel of each group.
void sampleRowRgb(const unsigned char* source, unsigned sourceWidth, unsigned targetWidth,
                  unsigned char* target);
// Same for a greyscale row (1 byte a pixel), taking the first pixel of each
// group and writing it into all three bytes of the target pixel.
void sampleRowGray(const unsigned char* source, unsigned sourceWidth, unsigned targetWidth,
                   unsigned char* target);
// RGB to BGR (and back), in place.
void swapRedBlue(unsigned char* pixels, unsigned width, unsigned height);
// New buffer with each row padded to a multiple of 4 bytes (its length in
// *stride); null when it cannot be allocated. The input stays the caller's; the result is freed with free().
unsigned char* padRowsToDword(const unsigned char* pixels, unsigned width, unsigned height,
                              size_t* stride);
// Reverses the row order in place (top-down to bottom-up).
void flipRows(unsigned char* pixels, size_t stride, unsigned height);
