// Building the ffmpeg commands of a video or audio thumbnail: what the
// picture is, how it is cropped and fitted, and the text drawn on it.
#include "generators/media_commands.h"

#include <math.h>
#include <wchar.h>

#include "common/format.h"
#include "generators/image_sequence.h"
#include "generators/media_text.h"
#include "generators/tone_map.h"

static const double kStillTimingThreshold = 0.1; // seconds; shorter stills have no timeline
static const double kPercentFactor = 0.02; // percent of the duration, from its half
static const int kMinFontSize = 5;
static const int kMaxTextXPos = 120; // text lines 1 and 2
static const wchar_t kRightEdgeFiller = 0x00A0; // no-break space: drawtext keeps it
static const wchar_t kAdsWarningColor[] = L"#FF7777";
static const wchar_t kAdsWarningMark[] = L" !ADS";
// Left alone, ffmpeg takes the largest video stream, while the probe (and
// with it the height label) describes the first one.
static const wchar_t kProbedStream[] = L" -map 0:v:0";
// Square pixels before anything else, so that anamorphic video (a 16:9 DVD
// picture stored as 720x576) keeps its shape, and the stereo crops, which
// cut by halves, still cut the views. The stretch only ever shrinks one
// side: a broken aspect such as 255:1 then gives a thin picture rather than
// one too wide for the encoder. At 1:1 the scale passes frames untouched.
static const wchar_t kSquarePixels[] = L"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,";

int ClampFontSize(int size)
{
    return size < kMinFontSize ? kMinFontSize : size;
}

int ClampTextXPos(int line, int x)
{
    return line < 2 && x > kMaxTextXPos ? kMaxTextXPos : x;
}

// Settings have no upper bounds, so a product can leave the int range,
// where a plain conversion is undefined.
static int truncateToInt(double x)
{
    if (!(x > -2147483648.0)) return x != x ? 0 : -2147483647 - 1;
    if (x >= 2147483647.0) return 2147483647;
    return (int)x;
}

// The geometry is computed in single precision. x87 code (the 32-bit
// build) may keep a float product in extended precision, which can
// truncate to another integer; a store through volatile rounds it as the
// 64-bit build does.
static float singlePrecision(float x)
{
    volatile float rounded = x;
    return rounded;
}

// A command under construction; once a piece does not fit, it never runs.
struct CommandText {
    wchar_t* text;
    bool fits;
};

static void put(CommandText* command, const wchar_t* piece)
{
    if (!AppendWide(command->text, kMediaCommandChars, piece)) command->fits = false;
}

static void putInt(CommandText* command, const wchar_t* format, int value)
{
    wchar_t piece[kFormatWideShortChars];
    if (FormatWideShort(piece, format, value) < 0) command->fits = false;
    put(command, piece);
}

// Layout filters and drawtext pieces go into both commands alike.
static void putBoth(CommandText* main, CommandText* fallback, const wchar_t* piece)
{
    put(main, piece);
    put(fallback, piece);
}

// `fromSource`: the input is the media file itself, not a picture of ours.
static void putHead(CommandText* command, const wchar_t* pre, const wchar_t* seek, const wchar_t* input,
                    bool fromSource)
{
    put(command, pre);
    if (seek) {
        put(command, L" -ss ");
        put(command, seek);
    }
    put(command, L" -i \"");
    put(command, input);
    put(command, L"\"");
    if (fromSource) put(command, kProbedStream);
    put(command, L" -vf \"");
    if (fromSource) put(command, kSquarePixels);
}

// After the fitting, before the text: the filters work in 32-bit float on
// every pixel, which at the size of a 4K frame costs seconds and at the
// cell's size nothing, while scaling the HDR signal instead of its light
// makes no difference that a thumbnail shows. The padding is black in HDR
// as in SDR.
static void putToneMap(CommandText* main, CommandText* fallback, const MediaCommandInputs* in)
{
    if (!in->hdrTransfer || in->kind == kThumbWaveform) return;
    wchar_t filters[kFormatWideChars];
    if (!BuildToneMapFilters(in->hdrTransfer, filters, kFormatWideChars)) main->fits = fallback->fits = false;
    putBoth(main, fallback, filters);
}

static void putGeometry(CommandText* command, double w, double h, double seek)
{
    wchar_t piece[kFormatWideChars];
    if (FormatWide(piece,
                   L"scale=%.0f:%.0f:force_original_aspect_ratio=decrease,pad=%.0f:%.0f:(ow-iw)/2:(oh-ih)/2,"
                   L"select=isnan(prev_selected_t)+gte(t-prev_selected_t\\,%0.4lf),tile=%dx%d",
                   w, h, w, h, seek, TileColumns, TileRows) < 0)
        command->fits = false;
    put(command, piece);
}

static void putDrawText(CommandText* command, const MediaSettings* s, const wchar_t* text, const wchar_t* color,
                        int fontSize, int x, int y)
{
    put(command, L",drawtext='");
    put(command, s->drawTextAdditional);
    put(command, L":text='");
    put(command, text);
    put(command, L"':fontcolor=");
    put(command, color);
    putInt(command, L":fontsize=%d", fontSize);
    putInt(command, L":x=%d", x);
    putInt(command, L":y=%d:'", y);
}

// ffprobe prints "N/A" for raw streams and for files written without an
// index (many browser recordings): then there is no position to seek to
// and no time to show.
static bool hasTimeline(ThumbKind kind, double duration)
{
    return duration > 0 && (kind != kThumbStill || duration > kStillTimingThreshold);
}

// Text line 1: the duration as a time, when the picture has a timeline.
static void durationText(const MediaCommandInputs* in, double duration, wchar_t* text)
{
    if (!hasTimeline(in->kind, duration)) return;
    CopyWide(text, kMediaCommandChars, in->probe->line[in->kind == kThumbWaveform ? 0 : 2]);
    FormatDrawTextTime(text, in->settings->hideHoursIfZero);
}

// Appends `count` fillers when they fit; false otherwise.
static bool appendFillers(wchar_t* text, long long count)
{
    size_t length = wcslen(text);
    if (count <= 0) return true;
    if ((unsigned long long)count > kMediaCommandChars - 1 - length) return false;
    for (long long i = 0; i < count; ++i) text[length++] = kRightEdgeFiller;
    text[length] = 0;
    return true;
}

void BuildMediaCommands(const MediaCommandInputs* in, MediaCommands* out)
{
    const MediaSettings* s = in->settings;
    const ProbeLines* probe = in->probe;
    CommandText main = {out->main, true};
    CommandText fallback = {out->fallback, true};
    wchar_t text[3][kMediaCommandChars];
    bool textsFit = true;
    out->main[0] = out->fallback[0] = 0;
    for (auto& line : text) line[0] = 0;

    // What the picture is and where it is taken.
    double duration = ProbeNumber(in->kind == kThumbWaveform ? probe->line[0] : probe->line[2]);
    double seek = duration / (TileColumns * TileRows + 1);
    if (TileColumns == 1 && TileRows == 1 && in->kind == kThumbFrame) seek = seek * (in->position * kPercentFactor);

    durationText(in, duration, text[0]);
    if (in->cover) CopyWide(text[1], kMediaCommandChars, L"+cover");
    if (seek < 0) seek = 0;

    // Text geometry in percent of the cell.
    int fontSize[3], x[3], y[3];
    float hp = singlePrecision((float)in->height / 100.0f);
    float wp = singlePrecision((float)in->width / 100.0f);
    int xSetting[3];
    for (int i = 0; i < 3; ++i) {
        xSetting[i] = ClampTextXPos(i, s->xPos[i]);
        fontSize[i] = truncateToInt(singlePrecision((float)ClampFontSize(s->fontSize[i]) * hp));
        x[i] = truncateToInt(singlePrecision((float)xSetting[i] * wp));
        y[i] = truncateToInt(singlePrecision((float)s->yPos[i] * hp));
    }
    bool adsWarning = in->adsFailed && !s->ignoreAdsWarning;
    const wchar_t* color = adsWarning ? kAdsWarningColor : s->fontColor;

    // Heads: the input, and for a timeline the seek before it, so that
    // ffmpeg seeks in the file instead of decoding up to the position.
    // Raw streams cannot seek at all, not even to 0.
    bool timed = false;
    const wchar_t* sourcePre = s->preInput;
    wchar_t literalPre[kMediaCommandChars];
    if (in->kind == kThumbStill && NeedsLiteralImageName(in->source, in->extension)) {
        if (!CopyWide(literalPre, kMediaCommandChars, s->preInput) ||
            !AppendWide(literalPre, kMediaCommandChars, kLiteralImageName))
            main.fits = false;
        sourcePre = literalPre;
    }
    if (in->kind == kThumbWaveform) {
        putHead(&main, s->preInput, NULL, in->waveformImage, false);
    } else if (!hasTimeline(in->kind, duration)) {
        seek = 0;
        putHead(&main, sourcePre, NULL, in->source, true);
    } else {
        wchar_t seekText[kFormatWideChars];
        if (FormatWide(seekText, L"%0.4lf", seek) < 0) main.fits = false;
        putHead(&main, sourcePre, seekText, in->source, true);
        putHead(&fallback, sourcePre, L"0", in->source, true);
        timed = true;
    }

    int heightLabel = in->kind == kThumbFrame ? truncateToInt(ProbeNumber(probe->line[1])) : 0;

    if (s->support3D && in->kind != kThumbWaveform) {
        wchar_t name[kMediaCommandChars];
        StereoLayout layout;
        CopyWide(name, kMediaCommandChars, in->source);
        GetFileNamePart(name);
        if (FindStereoLayout(name, in->extension, &s->stereo, &layout)) {
            for (int i = 0; i < layout.filterCount; ++i) {
                putBoth(&main, &fallback, layout.filters[i]);
                putBoth(&main, &fallback, L",");
            }
            CopyWide(text[1], kMediaCommandChars, layout.label);
            if (layout.halvesHeight) heightLabel /= 2;
        }
    }

    double w = in->width, h = in->height;
    if (in->width > 0 && in->kind != kThumbWaveform) w = (double)in->width / TileColumns;
    if (in->height > 0 && in->kind != kThumbWaveform) h = (double)in->height / TileRows;
    putGeometry(&main, w, h, seek);
    putGeometry(&fallback, w, h, 0);
    putToneMap(&main, &fallback, in);

    if (adsWarning) {
        if (s->overlayInfo)
            textsFit = AppendWide(text[0], kMediaCommandChars, kAdsWarningMark) && textsFit;
        else
            CopyWide(text[0], kMediaCommandChars, kAdsWarningMark);
    }
    if (heightLabel > 0 && in->kind == kThumbFrame) FormatWideShort(text[2], L"%dp", heightLabel);
    // With fix_bounds a line placed past the right edge ends at the edge;
    // the fillers then set its distance from it.
    for (int i = 0; i < 3; ++i) textsFit = appendFillers(text[i], (long long)xSetting[i] - 100) && textsFit;

    for (int i = 0; i < 3; ++i) {
        bool draw = text[i][0] && s->overlayInfo;
        if (i == 0 && adsWarning) draw = true;
        if (!draw) continue;
        putDrawText(&main, s, text[i], color, fontSize[i], x[i], y[i]);
        putDrawText(&fallback, s, text[i], color, fontSize[i], x[i], y[i]);
    }
    if (s->sharpen[0]) {
        putBoth(&main, &fallback, L",");
        putBoth(&main, &fallback, s->sharpen);
    }
    putBoth(&main, &fallback, L"\" ");
    putBoth(&main, &fallback, s->postInput);
    putBoth(&main, &fallback, L" \"");
    putBoth(&main, &fallback, in->output);
    putBoth(&main, &fallback, L"\"");

    if (!timed) out->fallback[0] = 0;
    out->mainFits = main.fits && textsFit;
    out->fallbackFits = timed && fallback.fits && textsFit;
    out->duration = duration;
    out->seek = seek;
}
