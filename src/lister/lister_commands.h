// The command lines that start the player and the image viewer inside the
// Lister, built from the settings and the file without running anything.
// Both programs are started directly (no interpreter), so a file name
// reaches them exactly as it is; each text carries the placeholder first
// token "0", the program being named separately.
#pragma once

#include "generators/media_layout.h"

enum { kListerCommandChars = 4096 }; // command and filter buffers, terminator included

struct ListerVideoSettings {
    bool support3D;
    bool overlayInfo;
    const wchar_t* osd; // the on-screen time filter
    StereoFilters stereo;
};

// "JPS" and "PNS" (any letter case): still side-by-side stereo pictures.
bool IsStereoPicture(const wchar_t* extension);

// The player's video filter chain: the stereo or VR crop the markers of
// `path` ask for (looked for in the whole path, folders included, case
// kept), then the on-screen time unless the file is a stereo picture.
// Returns false and leaves "" when it would pass 4095 characters.
bool BuildListerVideoFilter(const wchar_t* path, const wchar_t* extension, const ListerVideoSettings* s,
                            wchar_t* out);

// 0 <preInput> -i "<path>" -x 19 -y 5[ -vf "<filter>"]
// The tiny size only stands until the Lister gives the window its own.
// `filter` may be null or empty. Returns false and leaves "" when the text
// would pass 4095 characters.
bool BuildPlayerCommand(const wchar_t* preInput, const wchar_t* path, const wchar_t* filter, wchar_t* out);

// 0  "<path>" <params>
bool BuildImageViewerCommand(const wchar_t* path, const wchar_t* params, wchar_t* out);
