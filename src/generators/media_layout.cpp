// Which part of a stereo or VR picture the thumbnail keeps, and how it is
// labelled.
#include "generators/media_layout.h"

#include <string.h>
#include <wchar.h>

#include "common/strpos.h"
#include "settings/extensions.h"

void GetFileNamePart(wchar_t* path)
{
    size_t length = wcslen(path);
    size_t start = 0;
    for (size_t i = 0; i < length; ++i)
        if (path[i] == L'\\' || path[i] == L'/') start = i + 1;
    size_t end = length;
    for (size_t i = start; i < length; ++i)
        if (path[i] == L'.') end = i;
    size_t n = end - start;
    if (n > kFileNamePartChars - 1) n = kFileNamePartChars - 1;
    memmove(path, path + start, n * sizeof(wchar_t));
    path[n] = 0;
}

enum Arrangement { kSideBySide, kTopBottom, kMono, kNoArrangement };
enum Projection { kFlat, kVR180, kVR360 };

static bool hasMarker(const wchar_t* name, const wchar_t* marker)
{
    return strpos(name, marker, true, 1) > 0;
}

bool FindStereoLayout(const wchar_t* namePart, const wchar_t* extension, const StereoFilters* filters,
                      StereoLayout* layout)
{
    layout->filters[0] = layout->filters[1] = NULL;
    layout->filterCount = 0;
    layout->label = NULL;
    layout->halvesHeight = false;

    bool stereoPicture = EqualsNoCase(extension, L"JPS") || EqualsNoCase(extension, L"PNS");
    Arrangement arrangement = kNoArrangement;
    if (stereoPicture || hasMarker(namePart, L"_SBS") || hasMarker(namePart, L"_LR"))
        arrangement = kSideBySide;
    else if (hasMarker(namePart, L"_TB") || hasMarker(namePart, L"_OverUnder"))
        arrangement = kTopBottom;
    else if (hasMarker(namePart, L"_MONO"))
        arrangement = kMono;

    Projection projection = hasMarker(namePart, L"_180")   ? kVR180
                            : hasMarker(namePart, L"_360") ? kVR360
                                                           : kFlat;
    if (arrangement == kNoArrangement) return false;
    // A stereo picture is a flat photograph: a VR marker on it is a misfit.
    if (stereoPicture && projection != kFlat) return false;

    const wchar_t* lens = projection == kVR180 ? filters->vr180 : filters->vr360;
    if (projection == kFlat) {
        if (arrangement == kMono) return false;
        layout->filters[layout->filterCount++] = arrangement == kSideBySide ? filters->lr : filters->tb;
        layout->label = L"3D";
    } else if (arrangement == kMono) {
        layout->filters[layout->filterCount++] = lens;
        layout->label = projection == kVR180 ? L"VR 180 MONO" : L"VR 360 MONO";
    } else {
        layout->filters[layout->filterCount++] = arrangement == kSideBySide ? filters->vrLr : filters->vrTb;
        layout->filters[layout->filterCount++] = lens;
        layout->label = projection == kVR180 ? L"VR 180" : L"VR 360";
    }
    layout->halvesHeight = arrangement == kTopBottom;
    return true;
}
