#include "lister/lister_commands.h"

#include <stddef.h>

#include "common/format.h"
#include "settings/extensions.h"

// Appends every piece or nothing: a cut command could start the program on
// another file or with half a filter.
template <size_t N> static bool appendAll(wchar_t* out, const wchar_t* const (&pieces)[N])
{
    for (const wchar_t* piece : pieces) {
        if (!AppendWide(out, kListerCommandChars, piece ? piece : L"")) {
            out[0] = 0;
            return false;
        }
    }
    return true;
}

bool IsStereoPicture(const wchar_t* extension)
{
    return EqualsNoCase(extension, L"JPS") || EqualsNoCase(extension, L"PNS");
}

bool BuildListerVideoFilter(const wchar_t* path, const wchar_t* extension, const ListerVideoSettings* s,
                            wchar_t* out)
{
    out[0] = 0;
    StereoLayout layout;
    if (s->support3D && FindStereoLayout(path, extension, &s->stereo, &layout)) {
        for (int i = 0; i < layout.filterCount; ++i) {
            const wchar_t* pieces[] = {i ? L"," : L"", layout.filters[i]};
            if (!appendAll(out, pieces)) return false;
        }
    }
    // A still stereo picture has no running time to show.
    if (s->overlayInfo && s->osd[0] && !IsStereoPicture(extension)) {
        const wchar_t* pieces[] = {out[0] ? L"," : L"", s->osd};
        if (!appendAll(out, pieces)) return false;
    }
    return true;
}

bool BuildPlayerCommand(const wchar_t* preInput, const wchar_t* path, const wchar_t* filter, wchar_t* out)
{
    out[0] = 0;
    const wchar_t* pieces[] = {L"0 ", preInput, L" -i \"", path, L"\" -x 19 -y 5"};
    if (!appendAll(out, pieces)) return false;
    if (!filter || !filter[0]) return true;
    const wchar_t* vf[] = {L" -vf \"", filter, L"\""};
    return appendAll(out, vf);
}

bool BuildImageViewerCommand(const wchar_t* path, const wchar_t* params, wchar_t* out)
{
    out[0] = 0;
    const wchar_t* pieces[] = {L"0  \"", path, L"\" ", params};
    return appendAll(out, pieces);
}
