// The waveform picture: with fade panes five ffmpeg runs (fade-in pane,
// fade-out pane, panes side by side, main waveform, main over panes),
// without them one. Every run is judged by the size of the file it was to
// write; ffmpeg's exit code says too little across its versions.
#include "generators/waveform.h"

#include <windows.h>

#include "common/messages.h"
#include "generators/tool_files.h"
#include "generators/waveform_commands.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/settings.h"
#include "tools/runner.h"

// Runs one built command (an unbuilt one, too long to fit, is not run) and
// tells whether `file` holds something afterwards. Once a run has been
// ended at the time limit (*stuck), the source would most likely hold up
// the next one too: none runs any more. The other files a waveform command
// names are temporary files beside `file`, whose own names hold nothing
// that the interpreter could expand; `source` may be null.
static bool runWriting(bool built, const wchar_t* command, const wchar_t* source, const wchar_t* file, bool* stuck)
{
    if (!built || *stuck) return false;
    const wchar_t* const filePaths[] = {source, file};
    if (RunThroughShell(szFfmpegPath, command, filePaths) == kToolTimedOut) {
        // Part of a picture is no picture.
        *stuck = true;
        emptyOutput(file);
        return false;
    }
    return getFileSize64(file) > 0;
}

// Creates the two empty helper files. On failure none is left and both
// names are "".
static bool makeFadeFiles(wchar_t* fadeOutFile, wchar_t* mergedFile)
{
    mergedFile[0] = 0;
    if (!makeTemporaryOutput(fadeOutFile)) {
        fadeOutFile[0] = 0;
        return false;
    }
    if (!makeTemporaryOutput(mergedFile)) {
        DeleteFileW(fadeOutFile);
        fadeOutFile[0] = 0;
        mergedFile[0] = 0;
        return false;
    }
    return true;
}

// The fade-in pane goes into the waveform image file (the main waveform
// replaces it later), the fade-out pane into its own file, and both side by
// side into the merged file. Returns null on success, else what failed.
static const char* makeFadePanes(const wchar_t* source, double duration, double fadeLength,
                                 const WaveformLayout* layout, const wchar_t* waveformImageFile,
                                 const wchar_t* fadeOutFile, const wchar_t* mergedFile, bool* stuck)
{
    wchar_t szCommand[kWaveformCommandChars];

    bool built = BuildFadeInCommand(szCommand, fadeLength, source, layout->fadeInWidth, layout->paneHeight,
                                    szAudioColorLeft, szAudioColorRight, waveformImageFile);
    if (!runWriting(built, szCommand, source, waveformImageFile, stuck)) return "fadein failed";

    built = BuildFadeOutCommand(szCommand, duration, fadeLength, source, layout->fadeOutWidth, layout->paneHeight,
                                szAudioColorLeft, szAudioColorRight, fadeOutFile);
    if (!runWriting(built, szCommand, source, fadeOutFile, stuck)) return "fadeout failed";

    built = BuildFadeMergeCommand(szCommand, waveformImageFile, fadeOutFile, layout->separator, mergedFile);
    if (!runWriting(built, szCommand, NULL, mergedFile, stuck)) return "fades merge failed";
    return NULL;
}

// Puts the main waveform (in the waveform image file) over the merged
// panes. `spareFile` receives a copy of the main waveform as vstack's first
// input, and gives it back when the stacking writes nothing, so a failed
// stack costs the panes but not the thumbnail.
static void stackOverPanes(const WaveformLayout* layout, const wchar_t* waveformImageFile, const wchar_t* spareFile,
                           const wchar_t* mergedFile, bool* stuck)
{
    wchar_t szCommand[kWaveformCommandChars];
    if (!CopyFileW(waveformImageFile, spareFile, FALSE)) return;
    if (!BuildWaveformStackCommand(szCommand, spareFile, mergedFile, layout->separator, waveformImageFile)) return;
    if (!runWriting(true, szCommand, NULL, waveformImageFile, stuck)) CopyFileW(spareFile, waveformImageFile, FALSE);
}

void MakeWaveformImage(const wchar_t* source, double duration, const wchar_t* waveformImageFile)
{
    wchar_t szFadeOutFile[kThumbOutChars];
    wchar_t szMergedFile[kThumbOutChars];
    wchar_t szCommand[kWaveformCommandChars];
    WaveformLayout layout;
    bool panesMade = false;
    bool stuck = false;
    bool built;
    szFadeOutFile[0] = 0;
    szMergedFile[0] = 0;
    if (!source || !waveformImageFile) return;

    ComputeWaveformLayout(gThumbWidth, gThumbHeight, bFfmpegAudioSmoothen, gAudioSeparatorThickness, &layout);

    // A track without a known duration has no end to show, and no panes.
    double fadeLength = WaveformFadeLength(gAudioIdealFadeInOutInSecs, duration);
    if (bAudioShowFadeInOut && fadeLength > 0 && makeFadeFiles(szFadeOutFile, szMergedFile)) {
        const char* failure = makeFadePanes(source, duration, fadeLength, &layout, waveformImageFile,
                                            szFadeOutFile, szMergedFile, &stuck);
        if (failure) {
            DeleteFileW(szFadeOutFile);
            DeleteFileW(szMergedFile);
            szFadeOutFile[0] = 0;
            szMergedFile[0] = 0;
            if (bDebug) DebugOnlyBoxChars(failure);
        }
        panesMade = !failure;
    }

    // The fade-in pane may still stand in the waveform image file; a main
    // run that writes nothing must leave it empty, not showing that pane.
    emptyOutput(waveformImageFile);
    built = BuildMainWaveformCommand(szCommand, duration, gAudioTimeMaxInSecs, source, layout.mainWidth,
                                     panesMade ? layout.mainHeightWithPanes : layout.mainHeightAlone,
                                     szAudioColorLeft, szAudioColorRight, szFfmpegAudioPostInputParams,
                                     waveformImageFile);
    if (runWriting(built, szCommand, source, waveformImageFile, &stuck) && panesMade)
        stackOverPanes(&layout, waveformImageFile, szFadeOutFile, szMergedFile, &stuck);

    if (szMergedFile[0]) DeleteFileW(szMergedFile);
    if (szFadeOutFile[0]) DeleteFileW(szFadeOutFile);
}
