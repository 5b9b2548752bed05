// The ffmpeg argument texts of the waveform picture, and the sizes and
// lengths they are made from. Pure functions of their inputs: no settings
// or request state is read here.
#pragma once

enum {
    kWaveformCommandChars = 4096, // every argument text, terminator included
    kWaveformMaxFadeSecs = 120,
};

// Picture sizes in pixels for a thumbnail cell, all scaled by the
// smoothing factor.
struct WaveformLayout {
    int scale;                  // 2 with smoothing (drawn large, shrunk later), else 1
    int separator;              // thickness of the dark bars between the parts
    double fadeInWidth;         // the two fade panes side by side are exactly
    double fadeOutWidth;        //   as wide as the main waveform
    double paneHeight;
    double mainWidth;
    double mainHeightWithPanes; // three quarters, the panes take the rest
    double mainHeightAlone;
};

void ComputeWaveformLayout(int cellWidth, int cellHeight, bool smoothen, int separatorSetting,
                           WaveformLayout* layout);

// Seconds shown in each fade pane for a track of `duration` seconds; 0
// when the track gets no panes.
double WaveformFadeLength(double idealSecs, double duration);

// Each builder writes its text into `out` (kWaveformCommandChars) and
// returns true; when the text would not fit it leaves "" and returns false,
// and the command must not be run.
bool BuildFadeInCommand(wchar_t* out, double fadeLength, const wchar_t* source, double paneWidth,
                        double paneHeight, const wchar_t* colorLeft, const wchar_t* colorRight,
                        const wchar_t* paneFile);
bool BuildFadeOutCommand(wchar_t* out, double duration, double fadeLength, const wchar_t* source,
                         double paneWidth, double paneHeight, const wchar_t* colorLeft,
                         const wchar_t* colorRight, const wchar_t* paneFile);
bool BuildFadeMergeCommand(wchar_t* out, const wchar_t* fadeInFile, const wchar_t* fadeOutFile, int separator,
                           const wchar_t* mergedFile);
// The white bands past the drawn part are added when `duration` is beyond
// `timeMaxSecs`.
bool BuildMainWaveformCommand(wchar_t* out, double duration, double timeMaxSecs, const wchar_t* source,
                              double width, double height, const wchar_t* colorLeft, const wchar_t* colorRight,
                              const wchar_t* postInputParams, const wchar_t* waveformFile);
bool BuildWaveformStackCommand(wchar_t* out, const wchar_t* mainFile, const wchar_t* mergedFile, int separator,
                               const wchar_t* stackedFile);
