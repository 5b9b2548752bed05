// HDR video (PQ as in HDR10, HLG as phones record it) brought to the SDR
// picture that a JPEG thumbnail can show.
#pragma once
#include <stddef.h>

// The transfer's name as the tone-mapping filters take it when the probed
// transfer (ffprobe's name) is an HDR one; null for SDR and for anything
// unknown, which keep the picture as ffmpeg decodes it.
const wchar_t* HdrTransfer(const wchar_t* probed);

// The filters, each preceded by a comma, that turn a frame of that
// transfer into BT.709 SDR. False (and "") when they do not fit `chars`.
//
// The Lister's player does without them: it would need a probe before
// every open to know the transfer, and these filters work in 32-bit float
// on every frame, which a 4K video cannot afford in real time.
bool BuildToneMapFilters(const wchar_t* transfer, wchar_t* filters, size_t chars);
