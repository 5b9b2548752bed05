// Fitting a picture into a box without enlarging it, and choosing which
// source rows and columns make the smaller picture.
#pragma once

// Size of a W x H picture fitted into a box: unchanged when it fits, else as
// large as the box allows with the aspect ratio kept (truncating); each
// side at least 1.
void fitJpegSize(unsigned sourceWidth, unsigned sourceHeight, unsigned boxWidth,
                 unsigned boxHeight, unsigned* width, unsigned* height);

// Walks `count` evenly spread positions out of `total` (count <= total):
// `step` whole positions apart, one more whenever the accumulated remainder
// reaches `count`. Used for rows and for columns.
struct JpegStride {
    unsigned step;
    unsigned rest;
    unsigned count;
    unsigned accumulator;
};
void jpegStrideStart(JpegStride* stride, unsigned total, unsigned count);
// Distance from the current position to the next one.
unsigned jpegStrideNext(JpegStride* stride);
