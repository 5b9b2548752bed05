// Stereo-3D and VR layouts, recognised from markers in the file name.
#pragma once

enum { kFileNamePartChars = 256 }; // 255 characters and the terminator

// Leaves only the file name without its extension: the text after the last
// '\' or '/' and before the last dot after it, at most 255 characters.
void GetFileNamePart(wchar_t* path);

// The crop and lens filters of the settings, one per layout.
struct StereoFilters {
    const wchar_t* lr;
    const wchar_t* tb;
    const wchar_t* vrLr;
    const wchar_t* vrTb;
    const wchar_t* vr180;
    const wchar_t* vr360;
};

struct StereoLayout {
    const wchar_t* filters[2]; // appended to the filter chain in this order
    int filterCount;
    const wchar_t* label; // replaces text line 2
    bool halvesHeight; // top-bottom: each view has half the stream's height
};

// The layout of a file from its name part (markers are case-sensitive) and
// its extension ("JPS" and "PNS" are side-by-side pictures). Returns false
// when none applies, e.g. a projection marker without a layout.
bool FindStereoLayout(const wchar_t* namePart, const wchar_t* extension, const StereoFilters* filters,
                      StereoLayout* layout);
