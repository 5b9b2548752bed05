// The ffmpeg command lines of a video or audio thumbnail, built from the
// probe's answer, the settings and the request without running anything.
#pragma once

#include "generators/media_layout.h"
#include "generators/media_probe.h"

enum { kMediaCommandChars = 4096 }; // command and text buffers, terminator included

// The grid of pictures in one thumbnail; fixed, so every thumbnail is a
// single picture and the percent position applies.
const int TileColumns = 1;
const int TileRows = 1;

// Settings values that shape the commands. Index 0 to 2 of the arrays are
// text lines 1 to 3.
struct MediaSettings {
    const wchar_t* preInput;
    const wchar_t* postInput;
    const wchar_t* sharpen;
    const wchar_t* drawTextAdditional;
    const wchar_t* fontColor;
    StereoFilters stereo;
    bool support3D;
    bool overlayInfo;
    bool hideHoursIfZero;
    bool ignoreAdsWarning;
    int fontSize[3];
    int xPos[3];
    int yPos[3];
};

// Font sizes have a floor of 5; the X positions of text lines 1 and 2 a
// ceiling of 120 (`line` counts from 0). Other values pass unchanged.
int ClampFontSize(int size);
int ClampTextXPos(int line, int x);

struct MediaCommandInputs {
    ThumbKind kind;
    bool cover; // mode 2 passed over a picture stream
    const ProbeLines* probe; // as ResolveProbeLines left them
    const wchar_t* source; // as the host gave it
    const wchar_t* extension; // of the source, without dot
    const wchar_t* waveformImage; // input of a waveform thumbnail
    const wchar_t* output;
    int width;
    int height;
    double position; // frame position in percent now in force
    bool adsFailed; // the stream cache was wanted but is unusable
    const MediaSettings* settings;
    // Not null: the source's HDR transfer (HdrTransfer), tone-mapped to SDR
    // once the picture is fitted, before the text is drawn.
    const wchar_t* hdrTransfer;
};

struct MediaCommands {
    wchar_t main[kMediaCommandChars];
    wchar_t fallback[kMediaCommandChars]; // the main one taken from position 0
    bool mainFits; // false: it would not fit its buffer and must not run
    bool fallbackFits; // false also when the kind has no fallback
    double duration;
    double seek; // seconds; 0 for pictures without a timeline
};

void BuildMediaCommands(const MediaCommandInputs* in, MediaCommands* out);
