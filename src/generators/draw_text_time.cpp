// The duration as the thumbnail shows it.
#include "generators/media_text.h"

#include <wchar.h>

#include "common/format.h"
#include "generators/media_probe.h"

// "'\:'" is drawtext's escaped colon: the picture shows a plain colon.
#define VSL_COLON L"'\\:'"

bool FormatDrawTextTime(wchar_t* text, bool hideHours)
{
    double x = ProbeNumber(text);
    // The fields are counted in 32-bit integers; a larger (or unreadable)
    // number could only give garbage.
    if (!(x >= 0) || x >= 2147483648.0) {
        CopyWide(text, kDrawTextTimeChars, L"ER");
        return false;
    }
    int days = (int)x / 86400;
    x -= days * 86400.0;
    int hours = (int)x / 3600;
    x -= hours * 3600.0;
    int minutes = (int)x / 60;
    x -= minutes * 60.0;
    int seconds = (int)x;
    double fraction = x - seconds;
    if (fraction < 0 || fraction > 1) {
        CopyWide(text, kDrawTextTimeChars, L"ER");
        return false;
    }
    // No carry into the minutes: 59.5 s stays 59.
    if (fraction >= 0.5 && seconds < 59) seconds++;

    if (days >= 1)
        FormatWideUnbounded(text, kDrawTextTimeChars, L"%2d" VSL_COLON L"%02d" VSL_COLON L"%02d" VSL_COLON L"%02d",
                            days, hours, minutes, seconds);
    else if (hours < 1 && hideHours)
        FormatWideUnbounded(text, kDrawTextTimeChars, L"%02d" VSL_COLON L"%02d", minutes, seconds);
    else
        FormatWideUnbounded(text, kDrawTextTimeChars, L"%02d" VSL_COLON L"%02d" VSL_COLON L"%02d", hours, minutes,
                            seconds);
    return true;
}
