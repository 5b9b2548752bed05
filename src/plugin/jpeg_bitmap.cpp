#include "plugin/jpeg_bitmap.h"

#include <stdlib.h>
#include <string.h>

#include "plugin/jpeg_decode.h"
#include "plugin/jpeg_pixels.h"

// On the NT family the picture is decoded at twice the cell and halved with
// halftone stretching, which filters what row picking alone would alias.
static bool wantSupersampling()
{
    OSVERSIONINFOW version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version)) return false;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// A 24-bit bottom-up DIB section holding `bits` (rows of `stride` bytes).
static HBITMAP makeDibSection(HDC screen, const unsigned char* bits, int width, int height,
                              size_t stride)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // positive: bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = (DWORD)(stride * (size_t)height);
    void* target = NULL;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &target, NULL, 0);
    if (!section || !target) {
        if (section) DeleteObject(section);
        return NULL;
    }
    memcpy(target, bits, stride * (size_t)height);
    return section;
}

// Halves `source` (width x height) into a new screen-format bitmap.
static HBITMAP halveBitmap(HDC screen, HBITMAP source, int width, int height)
{
    HBITMAP result = NULL;
    HBITMAP halved = NULL;
    HGDIOBJ oldSource = NULL, oldHalved = NULL;
    // A one-pixel side (a 1000 x 10 picture in a doubled box) would halve
    // to nothing; such a bitmap would be no thumbnail at all.
    int halfWidth = width >> 1 ? width >> 1 : 1;
    int halfHeight = height >> 1 ? height >> 1 : 1;
    HDC sourceDc = CreateCompatibleDC(screen);
    HDC halvedDc = CreateCompatibleDC(screen);
    if (!sourceDc || !halvedDc) goto done;
    halved = CreateCompatibleBitmap(screen, halfWidth, halfHeight);
    if (!halved) goto done;
    oldSource = SelectObject(sourceDc, source);
    oldHalved = SelectObject(halvedDc, halved);
    if (!oldSource || !oldHalved) goto done;
    SetStretchBltMode(halvedDc, HALFTONE);
    // HALFTONE needs the brush origin reset after the mode is set.
    SetBrushOrgEx(halvedDc, 0, 0, NULL);
    if (StretchBlt(halvedDc, 0, 0, halfWidth, halfHeight, sourceDc, 0, 0, width, height, SRCCOPY)) {
        result = halved;
        halved = NULL;
    }

done:
    if (oldHalved) SelectObject(halvedDc, oldHalved);
    if (oldSource) SelectObject(sourceDc, oldSource);
    if (halved) DeleteObject(halved);
    if (halvedDc) DeleteDC(halvedDc);
    if (sourceDc) DeleteDC(sourceDc);
    return result;
}

void thumbnailDecodeBox(int cellWidth, int cellHeight, int* width, int* height, bool* supersample)
{
    *supersample = wantSupersampling();
    *width = *supersample ? cellWidth * 2 : cellWidth;
    *height = *supersample ? cellHeight * 2 : cellHeight;
}

HBITMAP makeBitmapFromPixels(unsigned char* pixels, int width, int height, bool supersample)
{
    HBITMAP result = NULL;
    HBITMAP section = NULL;
    HDC screen = NULL;
    HWND desktop = NULL;
    unsigned char* padded = NULL;
    size_t stride = 0;

    swapRedBlue(pixels, (unsigned)width, (unsigned)height);
    padded = padRowsToDword(pixels, (unsigned)width, (unsigned)height, &stride);
    free(pixels);
    if (!padded) return NULL;
    flipRows(padded, stride, (unsigned)height);

    desktop = GetDesktopWindow();
    screen = GetDC(desktop);
    if (!screen) goto done;
    section = makeDibSection(screen, padded, width, height, stride);
    if (!section) goto done;
    if (supersample) {
        result = halveBitmap(screen, section, width, height);
    } else {
        result = section;
        section = NULL;
    }

done:
    if (section) DeleteObject(section);
    if (screen) ReleaseDC(desktop, screen);
    free(padded);
    return result;
}

HBITMAP makeThumbnailBitmapFromFile(FILE* file, int cellWidth, int cellHeight, bool* decoded)
{
    int width = 0, height = 0;
    bool supersample = false;
    thumbnailDecodeBox(cellWidth, cellHeight, &width, &height, &supersample);
    unsigned char* pixels = decodeJpegFileToRgb(file, &width, &height, &supersample);
    if (decoded) *decoded = pixels != NULL;
    if (!pixels) return NULL;
    return makeBitmapFromPixels(pixels, width, height, supersample);
}

HBITMAP makeThumbnailBitmap(const wchar_t* path, int cellWidth, int cellHeight)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file) return NULL;
    HBITMAP bitmap = makeThumbnailBitmapFromFile(file, cellWidth, cellHeight, NULL);
    fclose(file);
    return bitmap;
}
