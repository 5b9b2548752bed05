#include "plugin/rotation.h"

#include <stdint.h>
#include <time.h>
#include <wchar.h>

#include "common/format.h"
#include "plugin/state.h"
#include "settings/settings.h"

int CurrentUnixSeconds()
{
    return (int)(int32_t)(uint32_t)(unsigned long long)time(NULL);
}

void rotateFramePosition(const wchar_t* path, int now, bool useStreamCache, bool* forceRefresh)
{
    const double start = gPercentPosition;
    bool samePath = wcscmp(path, gLastRequestPath) == 0;
    // Wrapping subtraction: the clock is kept in 32 bits like the record.
    int32_t elapsed = (int32_t)((uint32_t)now - (uint32_t)gLastSuccessTime);
    bool repeat = samePath && gUserRefreshTimeout >= (double)elapsed;

    if (repeat) {
        gPositionActive = true;
        if (gCurrentPosition == start && start != 0) {
            gCurrentPosition = 0;
        } else {
            gCurrentPosition += gPercentRotationStep;
            if (gCurrentPosition >= 100) gCurrentPosition = start;
        }
        if (useStreamCache && forceRefresh) *forceRefresh = true;
    } else if (!samePath) {
        gCurrentPosition = 0;
    }
    // Not a repeat because the window passed: the cycle resumes from where
    // it stopped on the next quick repeat.

    CopyWide(gLastRequestPath, kHostPathChars, path);
}

double PositionInForce()
{
    return gPositionActive ? gCurrentPosition : gPercentPosition;
}
