#include "plugin/jpeg_fit.h"

void fitJpegSize(unsigned sourceWidth, unsigned sourceHeight, unsigned boxWidth,
                 unsigned boxHeight, unsigned* width, unsigned* height)
{
    unsigned long long w = sourceWidth, h = sourceHeight;
    if (sourceWidth > boxWidth || sourceHeight > boxHeight) {
        // 64-bit products: a box side times a 65500-pixel side can pass 2^32
        // for boxes no host asks for, and must not wrap into a wrong size.
        unsigned long long fittedHeight = (unsigned long long)boxWidth * sourceHeight / sourceWidth;
        if (fittedHeight <= boxHeight) {
            w = boxWidth;
            h = fittedHeight;
        } else {
            w = (unsigned long long)boxHeight * sourceWidth / sourceHeight;
            h = boxHeight;
        }
    }
    *width = w ? (unsigned)w : 1;
    *height = h ? (unsigned)h : 1;
}

void jpegStrideStart(JpegStride* stride, unsigned total, unsigned count)
{
    stride->step = total / count;
    stride->rest = total % count;
    stride->count = count;
    stride->accumulator = 0;
}

unsigned jpegStrideNext(JpegStride* stride)
{
    unsigned distance = stride->step;
    stride->accumulator += stride->rest;
    if (stride->accumulator >= stride->count) {
        stride->accumulator -= stride->count;
        distance++;
    }
    return distance;
}
