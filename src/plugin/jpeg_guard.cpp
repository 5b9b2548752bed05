#include "plugin/jpeg_guard.h"

#include <jerror.h>

// Warnings (corrupt data, premature end) would otherwise be written to
// stderr, which a GUI host may not have or may not expect us to touch.
static void jpegSilentOutput(j_common_ptr cinfo)
{
    (void)cinfo;
}

// Fatal-error entry: formats and drops the message, then jumps to the
// recovery point of the JpegErrorManager that cinfo->err points to.
static void jpegErrorExit(j_common_ptr cinfo)
{
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    JpegErrorManager* errors = (JpegErrorManager*)cinfo->err;
    // Not longjmp: mingw's x86-64 longjmp unwinds through SEH, which can
    // crash in a host that was not built with mingw. The builtin pair only
    // restores the stack and frame pointers; every frame it leaves is C code
    // of libjpeg or a frame without destructors.
    __builtin_longjmp(errors->recovery, 1);
}

struct jpeg_error_mgr* jpegSilentErrors(JpegErrorManager* errors)
{
    struct jpeg_error_mgr* manager = jpeg_std_error(&errors->pub);
    manager->error_exit = jpegErrorExit;
    manager->output_message = jpegSilentOutput;
    return manager;
}

// Called while libjpeg absorbs input, before each row of blocks it decodes;
// a new scan is counted before any of its blocks is walked.
static void jpegScanMonitor(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor) return;
    j_decompress_ptr decompressor = (j_decompress_ptr)cinfo;
    JpegScanLimit* limit = (JpegScanLimit*)cinfo->progress;
    if (decompressor->input_scan_number == limit->countedScan) return;
    bool first = limit->countedScan == 0;
    limit->countedScan = decompressor->input_scan_number;
    // The message code does not matter: the text is never shown.
    if (limit->countedScan > limit->maxScans) ERREXIT(cinfo, JERR_NOTIMPL);
    if (first) return;
    for (int i = 0; i < decompressor->comps_in_scan; i++) {
        const jpeg_component_info* component = decompressor->cur_comp_info[i];
        limit->furtherBlockWalks += (unsigned long long)component->width_in_blocks * component->height_in_blocks;
    }
    if (limit->furtherBlockWalks > kJpegMaxFurtherBlockWalks) ERREXIT(cinfo, JERR_NOTIMPL);
}

void jpegBoundDecoder(j_decompress_ptr cinfo, JpegScanLimit* limit)
{
    // Without a backing store, a coefficient buffer above this bound makes
    // jpeg_start_decompress fail before anything large is allocated.
    cinfo->mem->max_memory_to_use = kJpegMaxMemory;
    limit->pub.progress_monitor = jpegScanMonitor;
    limit->pub.pass_counter = 0;
    limit->pub.pass_limit = 0;
    limit->pub.completed_passes = 0;
    limit->pub.total_passes = 0;
    limit->maxScans = kJpegMaxScans;
    limit->countedScan = 0;
    limit->furtherBlockWalks = 0;
    cinfo->progress = &limit->pub;
}

bool jpegPixelBytes(unsigned width, unsigned height, size_t* bytes)
{
    // A 32-bit size_t wraps at about 37,800 x 37,800 pixels: a doubled cell
    // of 18,900. A wrapped size would allocate little and write far past it.
    size_t pixels = 0;
    if (__builtin_mul_overflow((size_t)width, (size_t)height, &pixels)) return false;
    if (__builtin_mul_overflow(pixels, (size_t)3, bytes)) return false;
    return *bytes <= kJpegMaxPixelBytes;
}
