// Keeps libjpeg inside what a host process can live with: no text on any
// standard stream, no unwinding out of a failed decode, and bounded memory
// and work for files that declare more than they hold.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <jpeglib.h>

// Room for the coefficients of a progressive photo of well over 100
// megapixels; a tiny file that declares 64250 x 64250 asks for far more.
static const long kJpegMaxMemory = 1024L * 1024L * 1024L;
// Encoders write about ten scans, hand-tuned ones a few dozen; each scan of a
// progressive file is another pass over the whole coefficient buffer.
enum { kJpegMaxScans = 100 };

// The standard error manager followed by the recovery point that
// jpegErrorExit returns to (a __builtin_setjmp buffer).
struct JpegErrorManager {
    struct jpeg_error_mgr pub;
    void* recovery[5];
};

// Progress record that stops decoding after too many scans.
struct JpegScanLimit {
    struct jpeg_progress_mgr pub;
    int maxScans;
};

// Fills `errors` as the standard manager with jpegErrorExit and a silent
// output_message; returns the record to put in cinfo.err. The caller sets
// the recovery point with __builtin_setjmp(errors->recovery) before use.
struct jpeg_error_mgr* jpegSilentErrors(JpegErrorManager* errors);
// Bounds a created decompressor's memory and scan count (call before
// jpeg_start_decompress). `limit` must live as long as the decompressor.
void jpegBoundDecoder(j_decompress_ptr cinfo, JpegScanLimit* limit);
