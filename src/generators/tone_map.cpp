// Tone mapping with ffmpeg's own filters (zscale and tonemap), which the
// usual Windows builds of ffmpeg carry.
#include "generators/tone_map.h"

#include <wchar.h>

#include "common/format.h"

// ffprobe's names of the HDR transfers, which zscale takes as they are.
static const wchar_t* const kHdrTransfers[] = {
    L"smpte2084", // PQ: HDR10 and HDR10+
    L"arib-std-b67", // HLG: phones, broadcast
};

const wchar_t* HdrTransfer(const wchar_t* probed)
{
    if (!probed) return NULL;
    for (const wchar_t* name : kHdrTransfers)
        if (wcscmp(probed, name) == 0) return name;
    return NULL;
}

// To linear light with the transfer that the probe named (a decoder that
// leaves a frame's own tags unset would otherwise stop zscale), in the
// BT.2020 primaries and matrix that all HDR video uses; 100 nits as 1.0.
// Then BT.709 primaries, still linear, so that a saturated colour stays
// saturated. Mobius keeps everything up to about diffuse white as it is
// and only bends the highlights down, so SDR white in an HDR picture comes
// out near white, where hable would give a dim grey; desat=0 keeps bright
// colours from being washed towards white. Last the BT.709 curve and the
// 8-bit limited range that the later filters and the JPEG expect.
static const wchar_t kToneMapFilters[] =
    L",zscale=tin=%ls:pin=bt2020:min=bt2020nc:t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
    L"tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

bool BuildToneMapFilters(const wchar_t* transfer, wchar_t* filters, size_t chars)
{
    return FormatWideUnbounded(filters, chars, kToneMapFilters, transfer) >= 0;
}
