#include "host/png_file.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <zlib.h>

static void putBigEndian(unsigned char* at, unsigned long value)
{
    at[0] = (unsigned char)(value >> 24);
    at[1] = (unsigned char)(value >> 16);
    at[2] = (unsigned char)(value >> 8);
    at[3] = (unsigned char)value;
}

static bool writeAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return size == 0 || (WriteFile(file, data, size, &written, NULL) && written == size);
}

// Length, type, data and the CRC of type and data.
static bool writeChunk(HANDLE file, const char* type, const unsigned char* data, unsigned long size)
{
    unsigned char head[8];
    putBigEndian(head, size);
    memcpy(head + 4, type, 4);
    unsigned long crc = crc32(0, head + 4, 4);
    if (size) crc = crc32(crc, data, (uInt)size);
    unsigned char tail[4];
    putBigEndian(tail, crc);
    return writeAll(file, head, 8) && writeAll(file, data, (DWORD)size) && writeAll(file, tail, 4);
}

bool WritePngFile(const wchar_t* path, int width, int height, const unsigned char* bgr, size_t stride)
{
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool ok = false;
    unsigned char* raw = NULL;
    unsigned char* packed = NULL;
    HANDLE file = INVALID_HANDLE_VALUE;
    unsigned char header[13] = {};
    size_t rowBytes = 1 + (size_t)width * 3;
    uLong rawSize = 0;
    uLongf packedSize = 0;

    if (width < 1 || height < 1 || width > 65535 || height > 65535) goto done;
    rawSize = (uLong)(rowBytes * (size_t)height);
    raw = (unsigned char*)malloc(rawSize);
    packedSize = compressBound(rawSize);
    packed = (unsigned char*)malloc(packedSize);
    if (!raw || !packed) goto done;
    // Each row: filter type 0 (none), then red, green, blue.
    for (int y = 0; y < height; ++y) {
        unsigned char* out = raw + rowBytes * (size_t)y;
        const unsigned char* in = bgr + stride * (size_t)y;
        *out++ = 0;
        for (int x = 0; x < width; ++x, in += 3) {
            *out++ = in[2];
            *out++ = in[1];
            *out++ = in[0];
        }
    }
    if (compress2(packed, &packedSize, raw, rawSize, 6) != Z_OK) goto done;

    putBigEndian(header, (unsigned long)width);
    putBigEndian(header + 4, (unsigned long)height);
    header[8] = 8; // bits per sample
    header[9] = 2; // truecolour
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    ok = writeAll(file, kSignature, sizeof kSignature) && writeChunk(file, "IHDR", header, sizeof header) &&
         writeChunk(file, "IDAT", packed, packedSize) && writeChunk(file, "IEND", NULL, 0);

done:
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        if (!ok) DeleteFileW(path);
    }
    free(packed);
    free(raw);
    return ok;
}
