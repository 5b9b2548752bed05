// The thumbnail of a video or audio file: ffprobe tells what the file
// holds, one ffmpeg run takes the picture, crops, fits and labels it.
#include <stdio.h>
#include <wchar.h>

#include "cache/stream_cache.h"
#include "common/format.h"
#include "generators/generators.h"
#include "generators/media_commands.h"
#include "generators/tone_map.h"
#include "generators/tool_files.h"
#include "generators/waveform.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings.h"
#include "tools/runner.h"
#include "tools/tool_check.h"

// Width, height, transfer and duration of the first video stream, through
// a temporary file that exists only within this call.
static int runProbe(const wchar_t* source, ProbeLines* probe)
{
    int ok = 0;
    FILE* file = NULL;
    wchar_t szProbeFile[kThumbOutChars];
    wchar_t szArguments[kFormatWideChars];
    szProbeFile[0] = 0;
    ClearProbeLines(probe);
    if (!makeTemporaryOutput(szProbeFile)) goto done;
    if (FormatWide(szArguments,
                   L"-loglevel panic -select_streams v:0 -show_entries "
                   L"format=duration:stream=width,height,color_transfer -of default=noprint_wrappers=1:nokey=1 "
                   L"\"%ls\">\"%ls\"",
                   source, szProbeFile) < 0)
        goto done;
    {
        const wchar_t* const filePaths[] = {source, szProbeFile};
        // Lines of a probe that was ended midway tell nothing.
        if (RunThroughShell(szFfprobePath, szArguments, filePaths) == kToolTimedOut) goto done;
    }
    file = _wfopen(szProbeFile, L"rt");
    if (!file) goto done;
    for (int c = fgetc(file); c != EOF; c = fgetc(file))
        if (!AddProbeChar(probe, (wchar_t)(unsigned char)c)) break;
    ok = 1;
done:
    if (file) fclose(file);
    if (szProbeFile[0]) DeleteFileW(szProbeFile);
    return ok;
}

// An ffmpeg without zscale fails every tone-mapped run. Learning that costs
// one run, once: a tone-mapped run that gave nothing is followed by today's
// command at the same position, and when that one gives a picture, the
// filters were what failed. The ffmpeg is then remembered by its path and
// its file's time, and its HDR videos get today's command straight away;
// a new ffmpeg put in its place is tried again. SDR videos pay nothing,
// where asking ffmpeg for its filters would cost a run of its own.
static wchar_t gToneMapFailedPath[kSettingsPathChars];
static FILETIME gToneMapFailedTime;

static bool ffmpegFileTime(FILETIME* time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(szFfmpegPath, GetFileExInfoStandard, &data)) return false;
    *time = data.ftLastWriteTime;
    return true;
}

static bool ffmpegLacksToneMap()
{
    FILETIME time;
    return gToneMapFailedPath[0] && wcscmp(gToneMapFailedPath, szFfmpegPath) == 0 && ffmpegFileTime(&time) &&
           CompareFileTime(&time, &gToneMapFailedTime) == 0;
}

static void rememberFfmpegLacksToneMap()
{
    if (ffmpegFileTime(&gToneMapFailedTime)) CopyWide(gToneMapFailedPath, kSettingsPathChars, szFfmpegPath);
}

static bool gavePicture(const wchar_t* out)
{
    return getFileSize64(out) > 0;
}

// The texts of the file system in a command: source, output, waveform image.
typedef const wchar_t* const MediaFilePaths[3];

// The tone-mapped main run gave nothing: today's command at the same
// position tells whether the filters or the position failed. In the
// latter case the start of the file follows, tone-mapped first.
static int retryWithoutToneMap(MediaCommandInputs* in, const MediaCommands* toneMapped,
                               const MediaFilePaths& filePaths)
{
    MediaCommands plain;
    int run = kToolNotRun;
    in->hdrTransfer = NULL;
    BuildMediaCommands(in, &plain);
    if (plain.mainFits) run = RunThroughShell(szFfmpegPath, plain.main, filePaths);
    if (gavePicture(in->output)) {
        rememberFfmpegLacksToneMap();
        return run;
    }
    if (run == kToolTimedOut || !(toneMapped->seek > 0)) return run;
    if (toneMapped->fallbackFits) run = RunThroughShell(szFfmpegPath, toneMapped->fallback, filePaths);
    if (run == kToolTimedOut || gavePicture(in->output)) return run;
    if (plain.fallbackFits) run = RunThroughShell(szFfmpegPath, plain.fallback, filePaths);
    return run;
}

// The clamped values stay in force, as if the settings file held them.
static void clampTextSettings()
{
    gFontSize = ClampFontSize(gFontSize);
    gFontSizeLine2 = ClampFontSize(gFontSizeLine2);
    gFontSizeLine3 = ClampFontSize(gFontSizeLine3);
    gTextLine1XPos = ClampTextXPos(0, gTextLine1XPos);
    gTextLine2XPos = ClampTextXPos(1, gTextLine2XPos);
}

static void currentMediaSettings(MediaSettings* s)
{
    s->preInput = szFfmpegVideoPreInputParams;
    s->postInput = szFfmpegVideoPostInputParams;
    s->sharpen = szFfmpegSharpenInputParams;
    s->drawTextAdditional = szFfmpegVideoDrawTextAdditional;
    s->fontColor = szFontColor;
    s->stereo = {szFfmpegVideo_LR, szFfmpegVideo_TB, szFfmpegVideo_VR_LR,
                 szFfmpegVideo_VR_TB, szFfmpegVideo_VR_180, szFfmpegVideo_VR_360};
    s->support3D = b3DSupport;
    s->overlayInfo = bOverlayInfo;
    s->hideHoursIfZero = bOverlayHideHoursIfZero;
    s->ignoreAdsWarning = bADSIgnoreADSWarning;
    s->fontSize[0] = gFontSize;
    s->fontSize[1] = gFontSizeLine2;
    s->fontSize[2] = gFontSizeLine3;
    s->xPos[0] = gTextLine1XPos;
    s->xPos[1] = gTextLine2XPos;
    s->xPos[2] = gTextLine3XPos;
    s->yPos[0] = gTextLine1YPos;
    s->yPos[1] = gTextLine2YPos;
    s->yPos[2] = gTextLine3YPos;
}

int MakeMediaThumbnail(const wchar_t* source, wchar_t* out, int mode)
{
    int made = 0;
    bool timesCaptured = false;
    bool still = false;
    bool cover = false;
    int run = kToolNotRun;
    ThumbKind kind = kThumbFrame;
    wchar_t szWaveformFile[kThumbOutChars];
    MediaFilePaths filePaths = {source, out, szWaveformFile};
    ProbeLines probe;
    MediaSettings settings;
    MediaCommandInputs inputs;
    MediaCommands commands;
    szWaveformFile[0] = 0;

    if (!RequireTool(szFfmpegPath)) return 0;
    // Pictures without a timeline need no probe.
    still = EqualsNoCase(gFileExtension, L"JPS") || EqualsNoCase(gFileExtension, L"PNS") ||
            EqualsNoCase(gFileExtension, L"JPG");
    if (!still && !RequireTool(szFfprobePath)) return 0;
    // The times are taken before the tools first read the source: reading
    // can stamp the last-access time, and all three are to be put back as
    // they were, not as the probe left them.
    if (gUseADS) {
        if (!captureSourceTimes(source)) return 0;
        timesCaptured = true;
    }
    if (still) {
        SetProbeLines(&probe, L"", L"", L"0.0");
    } else {
        if (!runProbe(source, &probe)) goto done;
        still = EqualsNoCase(gFileExtension, L"GIF");
    }
    if (probe.count != 1 && probe.count != 3 && getFileSize64(source) == 0) goto done;
    if (!ResolveProbeLines(&probe, still, mode, &kind, &cover)) goto done;
    if (kind == kThumbWaveform && !makeTemporaryOutput(szWaveformFile)) goto done;

    clampTextSettings();
    currentMediaSettings(&settings);
    inputs.kind = kind;
    inputs.cover = cover;
    inputs.probe = &probe;
    inputs.source = source;
    inputs.extension = gFileExtension;
    inputs.waveformImage = szWaveformFile;
    inputs.output = out;
    inputs.width = gThumbWidth;
    inputs.height = gThumbHeight;
    inputs.position = gPositionActive ? gCurrentPosition : gPercentPosition;
    inputs.adsFailed = gADSFailed;
    inputs.settings = &settings;
    inputs.hdrTransfer = kind == kThumbFrame && !ffmpegLacksToneMap() ? HdrTransfer(probe.transfer) : NULL;
    BuildMediaCommands(&inputs, &commands);

    if (kind == kThumbWaveform) MakeWaveformImage(source, commands.duration, szWaveformFile);
    emptyOutput(out);
    if (commands.mainFits) run = RunThroughShell(szFfmpegPath, commands.main, filePaths);
    if (szWaveformFile[0]) {
        DeleteFileW(szWaveformFile);
        szWaveformFile[0] = 0;
    }
    // A seek past the end (or into a single cover picture) gives nothing:
    // then the picture at the start will do. A run ended at the time limit
    // is not tried again: the file would most likely hold it up again.
    if (run != kToolTimedOut && !gavePicture(out) && kind != kThumbWaveform) {
        if (inputs.hdrTransfer)
            run = retryWithoutToneMap(&inputs, &commands, filePaths);
        else if (commands.seek > 0 && commands.fallbackFits)
            run = RunThroughShell(szFfmpegPath, commands.fallback, filePaths);
    }
    // What an ended run wrote is part of a picture at best.
    if (run == kToolTimedOut) emptyOutput(out);

    if (gUseADS) {
        writeCacheRecord();
        if (gPositionActive && TileColumns == 1 && TileRows == 1 && kind == kThumbFrame) writeStoredPosition();
    }
    // Judged before the times go back, so nothing touches the source after.
    made = getFileSize64(out) > 0 ? 1 : 0;
done:
    // Every end, an early one too, puts back what the tools' reading and
    // writing changed; a thumbnail whose times could not be put back fails.
    if (timesCaptured && !restoreSourceTimes(source)) made = 0;
    if (szWaveformFile[0]) DeleteFileW(szWaveformFile);
    return made;
}
