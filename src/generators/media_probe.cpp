// Reading ffprobe's answer and deciding the thumbnail kind from it.
#include "generators/media_probe.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/format.h"

void ClearProbeLines(ProbeLines* probe)
{
    memset(probe, 0, sizeof *probe);
}

static bool startsTransferLine(wchar_t c)
{
    return c >= L'a' && c <= L'z';
}

// Only the first transfer line is kept: a stream that a transport stream
// lists once more under its program names the same transfer again.
static bool addTransferChar(ProbeLines* probe, wchar_t c)
{
    if (probe->transferLines == 1 && c != L'\r' && c != L'\n' && probe->length < kProbeTransferChars - 1) {
        probe->transfer[probe->length++] = c;
        probe->transfer[probe->length] = 0;
    }
    if (c == L'\n') probe->open = false;
    return probe->open || probe->count < kProbeLineCount;
}

bool AddProbeChar(ProbeLines* probe, wchar_t c)
{
    if (probe->count >= kProbeLineCount && !probe->open) return false;
    if (!probe->open) {
        probe->open = true;
        probe->length = 0;
        probe->inTransfer = startsTransferLine(c);
        if (probe->inTransfer && ++probe->transferLines > kProbeLineCount) return false;
        if (!probe->inTransfer) probe->count++;
    }
    if (probe->inTransfer) return addTransferChar(probe, c);
    wchar_t* line = probe->line[probe->count - 1];
    // Past 511 characters the line is cut; its end is dropped with the rest.
    if (probe->length < kProbeLineChars - 1) {
        line[probe->length++] = c;
        line[probe->length] = 0;
    }
    if (c == L'\n') probe->open = false;
    return probe->open || probe->count < kProbeLineCount;
}

void SetProbeLines(ProbeLines* probe, const wchar_t* first, const wchar_t* second, const wchar_t* third)
{
    ClearProbeLines(probe);
    CopyWide(probe->line[0], kProbeLineChars, first);
    CopyWide(probe->line[1], kProbeLineChars, second);
    CopyWide(probe->line[2], kProbeLineChars, third);
    probe->count = 3;
}

double ProbeNumber(const wchar_t* line)
{
    return wcstod(line, NULL);
}

static bool isWholeNumber(double x)
{
    return isfinite(x) && x == trunc(x);
}

bool ResolveProbeLines(ProbeLines* probe, bool still, int mode, ThumbKind* kind, bool* cover)
{
    *cover = false;
    *kind = kThumbFrame;
    probe->open = false;
    if (probe->count == 5) {
        // Some files list the stream's size twice: width, height, width,
        // height, duration.
        if (!isWholeNumber(ProbeNumber(probe->line[0])) || !isWholeNumber(ProbeNumber(probe->line[1])) ||
            !(ProbeNumber(probe->line[4]) > 0))
            return false;
        wmemcpy(probe->line[2], probe->line[4], kProbeLineChars);
        probe->line[3][0] = 0;
        probe->line[4][0] = 0;
        probe->count = 3;
    }
    if (probe->count == 1) {
        *kind = kThumbWaveform; // no video stream: line 1 is the duration
        return true;
    }
    if (probe->count != 3) return false;
    if (still) {
        *kind = kThumbStill;
        return true;
    }
    bool hasPicture = ProbeNumber(probe->line[0]) > 0 && ProbeNumber(probe->line[1]) > 0;
    if (!hasPicture || mode == 2) {
        // An audio file's cover that mode 2 passes over is still worth a mention.
        *cover = hasPicture;
        *kind = kThumbWaveform;
        wmemcpy(probe->line[0], probe->line[2], kProbeLineChars);
        return true;
    }
    *kind = kThumbFrame;
    return probe->line[0][0] && probe->line[1][0] && probe->line[2][0];
}
