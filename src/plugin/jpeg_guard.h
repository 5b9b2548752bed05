// Keeps libjpeg inside what a host process can live with: no text on any
// standard stream, no unwinding out of a failed decode, and bounded memory
// and work for files that declare more than they hold.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <jpeglib.h>

// Room for the coefficients of a progressive photo of 100 megapixels: about
// 300 MB at 4:2:0 and 600 MB at 4:4:4. The 32-bit build shares its 2 GB of
// address space, in fragments, with the host: it keeps to the 4:2:0 photo.
#ifdef _WIN64
static const long kJpegMaxMemory = 768L * 1024L * 1024L;
#else
static const long kJpegMaxMemory = 384L * 1024L * 1024L;
#endif
// The fitted picture's pixels; the bitmap on its way takes two more copies.
static const size_t kJpegMaxPixelBytes = (size_t)kJpegMaxMemory / 4;
// Encoders write about ten scans, hand-tuned ones a few dozen.
enum { kJpegMaxScans = 100 };
// Every scan walks the coefficient blocks of its components however few
// bytes it holds. One walk over the declared blocks is what any file may
// cost (and a sequential file pays it in data); each further scan is one
// more. A 100-megapixel photo with an encoder's scan script takes 10 to 20
// million further block walks; a 1 KB file declaring 22000 x 22000 and a
// hundred empty scans would take 750 million.
static const unsigned long long kJpegMaxFurtherBlockWalks = 64000000ULL;

// The standard error manager followed by the recovery point that
// jpegErrorExit returns to (a __builtin_setjmp buffer).
struct JpegErrorManager {
    struct jpeg_error_mgr pub;
    void* recovery[5];
};

// Progress record that stops decoding after too many scans, or once the
// scans after the first would walk too many blocks.
struct JpegScanLimit {
    struct jpeg_progress_mgr pub;
    int maxScans;
    int countedScan; // the last scan whose blocks are counted
    unsigned long long furtherBlockWalks;
};

// Fills `errors` as the standard manager with jpegErrorExit and a silent
// output_message; returns the record to put in cinfo.err. The caller sets
// the recovery point with __builtin_setjmp(errors->recovery) before use.
struct jpeg_error_mgr* jpegSilentErrors(JpegErrorManager* errors);
// Bounds a created decompressor's memory, scan count and block walks (call
// before jpeg_start_decompress). `limit` must live as long as the
// decompressor.
void jpegBoundDecoder(j_decompress_ptr cinfo, JpegScanLimit* limit);

// Bytes of a fitted picture of width x height pixels (3 bytes each); false
// when they would pass kJpegMaxPixelBytes, or not even fit a size_t.
bool jpegPixelBytes(unsigned width, unsigned height, size_t* bytes);
