#include "generators/image_sequence.h"

#include "settings/extensions.h"

// The stills of the video generator; a GIF goes to a demuxer of its own.
static const wchar_t* const kImageDemuxerExtensions[] = {L"JPG", L"JPS", L"PNS"};

// As ffmpeg tests a name for a sequence: every '%' is followed by digits
// and then 'd' (at most once) or '%'.
static bool holdsSequenceNumber(const wchar_t* path)
{
    bool number = false;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c != L'%') continue;
        ++c;
        while (*c >= L'0' && *c <= L'9') ++c;
        if (*c == L'%') continue;
        if (*c != L'd' || number) return false;
        number = true;
    }
    return number;
}

bool NeedsLiteralImageName(const wchar_t* path, const wchar_t* extension)
{
    if (!path || !extension) return false;
    bool image = false;
    for (const wchar_t* known : kImageDemuxerExtensions) image = image || EqualsNoCase(extension, known);
    return image && holdsSequenceNumber(path);
}
