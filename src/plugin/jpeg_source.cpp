#include "plugin/jpeg_source.h"

#include <jerror.h>

// libjpeg-turbo's Huffman decoder takes its fast path only while the buffer
// holds 512 bytes per block of the MCU (3 KB for 4:2:0); with jpeg_stdio_src's
// 4 KB buffer most MCUs go the slow way. Entropy decoding is most of the
// time of a thumbnail, so the buffer is made large.
static const size_t kSourceBufferBytes = 128 * 1024;

struct JpegFileSource {
    struct jpeg_source_mgr pub;
    FILE* file;
    JOCTET* buffer;
    bool startOfFile;
};

static void initSource(j_decompress_ptr cinfo)
{
    ((JpegFileSource*)cinfo->src)->startOfFile = true;
}

static boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    JpegFileSource* source = (JpegFileSource*)cinfo->src;
    size_t bytes = fread(source->buffer, 1, kSourceBufferBytes, source->file);
    if (bytes == 0) {
        if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A truncated file ends as if its end marker were there, so that the
        // rows decoded so far are kept (the rest come out grey).
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = (JOCTET)0xFF;
        source->buffer[1] = (JOCTET)JPEG_EOI;
        bytes = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = bytes;
    source->startOfFile = false;
    return TRUE;
}

static void skipInputData(j_decompress_ptr cinfo, long count)
{
    struct jpeg_source_mgr* source = cinfo->src;
    if (count <= 0) return;
    while ((size_t)count > source->bytes_in_buffer) {
        count -= (long)source->bytes_in_buffer;
        fillInputBuffer(cinfo);
    }
    source->next_input_byte += (size_t)count;
    source->bytes_in_buffer -= (size_t)count;
}

static void termSource(j_decompress_ptr cinfo)
{
    (void)cinfo;
}

void jpegFileSource(j_decompress_ptr cinfo, FILE* file)
{
    JpegFileSource* source = (JpegFileSource*)(*cinfo->mem->alloc_small)(
        (j_common_ptr)cinfo, JPOOL_PERMANENT, sizeof(JpegFileSource));
    source->buffer = (JOCTET*)(*cinfo->mem->alloc_large)((j_common_ptr)cinfo, JPOOL_PERMANENT,
                                                        kSourceBufferBytes);
    source->file = file;
    source->startOfFile = true;
    source->pub.init_source = initSource;
    source->pub.fill_input_buffer = fillInputBuffer;
    source->pub.skip_input_data = skipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = termSource;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = NULL;
    cinfo->src = &source->pub;
}
