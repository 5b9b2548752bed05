#include "generators/waveform_commands.h"

#include <limits.h>
#include <math.h>

#include "common/format.h"

// The output options of the fixed commands are spelled out rather than
// taken from the settings: the temporary names end in ".tmp", so ffmpeg
// must be told the format, and a missing "-y" would leave it waiting for
// an answer on a hidden console.
static const wchar_t kFadeInFormat[] =
    L"-loglevel panic -t %.5f -i \"%ls\" -filter_complex \"showwavespic=s=%.0fx%.0f:colors=%ls|%ls\" "
    L"-frames:v 1 -f mjpeg -qscale:v 1 -y \"%ls\"";
static const wchar_t kFadeOutFormat[] =
    L"-loglevel panic -ss %.5f -t %.5f -i \"%ls\" -filter_complex \"showwavespic=s=%.0fx%.0f:colors=%ls|%ls\" "
    L"-frames:v 1 -f mjpeg -qscale:v 1 -y \"%ls\"";
static const wchar_t kMergeFormat[] =
    L"-loglevel panic -i \"%ls\" -i \"%ls\" -filter_complex "
    L"hstack=inputs=2,drawbox=x=(in_w/2)-%d:y=0:w=%d:h=in_h:color=222222@1:t=fill -f mjpeg -qscale:v 1 -y \"%ls\"";
// The filter text is closed by the ending (quote alone, or bands and quote).
static const wchar_t kMainFormat[] =
    L"-t %.0f -i \"%ls\" -filter_complex \"showwavespic=s=%.0fx%.0f:colors=%ls|%ls%ls %ls \"%ls\"";
// Two half-transparent white bands over the right eighth and twenty-fourth:
// the track goes on beyond what is drawn.
static const wchar_t kBandsAndClose[] =
    L",drawbox=x=in_w-(in_w/8):y=0:w=(in_w/8)+1:h=in_h:color=white@0.5:t=fill"
    L",drawbox=x=in_w-(in_w/24):y=0:w=(in_w/24)+1:h=in_h:color=white@0.5:t=fill\"";
static const wchar_t kStackFormat[] =
    L"-loglevel panic -i \"%ls\" -i \"%ls\" -filter_complex "
    L"vstack=inputs=2,drawbox=x=0:y=((in_h/4)*3)-%d:w=in_w:h=%d:color=222222@1:t=fill -f mjpeg -qscale:v 1 -y \"%ls\"";

static const double kWaveformMinFadeSecs = 0.00001; // the smallest "%.5f" above 0

static const wchar_t* orEmpty(const wchar_t* text)
{
    return text ? text : L"";
}

void ComputeWaveformLayout(int cellWidth, int cellHeight, bool smoothen, int separatorSetting,
                           WaveformLayout* layout)
{
    int scale = smoothen ? 2 : 1;
    int thickness = separatorSetting < 1 ? 1 : separatorSetting;
    if (thickness > INT_MAX / scale) thickness = INT_MAX / scale;
    double width = (double)scale * cellWidth;
    double height = (double)scale * cellHeight;

    layout->scale = scale;
    layout->separator = thickness * scale;
    // vstack refuses inputs of different widths, so for an odd width the
    // fade-out pane takes the pixel that halving would lose.
    layout->fadeInWidth = floor(width * 0.5);
    layout->fadeOutWidth = width - layout->fadeInWidth;
    layout->paneHeight = height * 0.25;
    layout->mainWidth = width;
    layout->mainHeightWithPanes = height * 0.75;
    layout->mainHeightAlone = height;
}

double WaveformFadeLength(double idealSecs, double duration)
{
    double length = idealSecs;
    if (length > kWaveformMaxFadeSecs) length = kWaveformMaxFadeSecs;
    // A short track would otherwise show the same seconds in both panes.
    if (2 * length > duration) length = duration * 0.25;
    // A length that prints as "-t 0.00000" would mean no limit to ffmpeg:
    // a track without a known duration would be read whole, twice.
    if (!(length >= kWaveformMinFadeSecs)) return 0;
    return length;
}

bool BuildFadeInCommand(wchar_t* out, double fadeLength, const wchar_t* source, double paneWidth,
                        double paneHeight, const wchar_t* colorLeft, const wchar_t* colorRight,
                        const wchar_t* paneFile)
{
    return FormatWide(out, kFadeInFormat, fadeLength, orEmpty(source), paneWidth, paneHeight, orEmpty(colorLeft),
                      orEmpty(colorRight), orEmpty(paneFile)) >= 0;
}

bool BuildFadeOutCommand(wchar_t* out, double duration, double fadeLength, const wchar_t* source,
                         double paneWidth, double paneHeight, const wchar_t* colorLeft,
                         const wchar_t* colorRight, const wchar_t* paneFile)
{
    return FormatWide(out, kFadeOutFormat, duration - fadeLength, fadeLength, orEmpty(source), paneWidth,
                      paneHeight, orEmpty(colorLeft), orEmpty(colorRight), orEmpty(paneFile)) >= 0;
}

bool BuildFadeMergeCommand(wchar_t* out, const wchar_t* fadeInFile, const wchar_t* fadeOutFile, int separator,
                           const wchar_t* mergedFile)
{
    return FormatWide(out, kMergeFormat, orEmpty(fadeInFile), orEmpty(fadeOutFile), separator / 2, separator,
                      orEmpty(mergedFile)) >= 0;
}

bool BuildMainWaveformCommand(wchar_t* out, double duration, double timeMaxSecs, const wchar_t* source,
                              double width, double height, const wchar_t* colorLeft, const wchar_t* colorRight,
                              const wchar_t* postInputParams, const wchar_t* waveformFile)
{
    // Compared unrounded, although "-t" is written without decimals.
    const wchar_t* ending = duration > timeMaxSecs ? kBandsAndClose : L"\"";
    return FormatWide(out, kMainFormat, timeMaxSecs, orEmpty(source), width, height, orEmpty(colorLeft),
                      orEmpty(colorRight), ending, orEmpty(postInputParams), orEmpty(waveformFile)) >= 0;
}

bool BuildWaveformStackCommand(wchar_t* out, const wchar_t* mainFile, const wchar_t* mergedFile, int separator,
                               const wchar_t* stackedFile)
{
    return FormatWide(out, kStackFormat, orEmpty(mainFile), orEmpty(mergedFile), separator / 2, separator,
                      orEmpty(stackedFile)) >= 0;
}
