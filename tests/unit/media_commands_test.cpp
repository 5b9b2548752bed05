// The ffmpeg commands of video and audio thumbnails, to the character.
#include <gtest/gtest.h>

#include <string>

#include "common/format.h"
#include "generators/image_sequence.h"
#include "generators/media_commands.h"
#include "generators/tone_map.h"

namespace {

const wchar_t kSource[] = L"C:\\v\\clip.mp4";
const wchar_t kOutput[] = L"C:\\t\\vsl1.tmp";
const wchar_t kWaveform[] = L"C:\\t\\vsl2.tmp";
const wchar_t kPre[] = L"-t 10 -noaccurate_seek -loglevel panic";
const wchar_t kPost[] = L"-frames:v 1 -an -vsync 0 -f mjpeg -qscale:v 2 -y";
const wchar_t kSharpen[] = L"smartblur=lr=0.62:ls=-0.90:lt=-5.0:cr=0.5:cs=1.0:ct=1.5";
const wchar_t kDrawText[] = L"fontfile=c\\:/Windows/Fonts/micross.ttf:fix_bounds=1:shadowcolor=black:shadowx=1:shadowy=1";
const wchar_t kNbsp2[] = L"\u00A0\u00A0";
// What follows the source: its probed stream, and square pixels.
const wchar_t kFromSource[] = L" -map 0:v:0 -vf \"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,";

// One drawtext filter as the chain holds it.
std::wstring DrawText(const std::wstring& text, const std::wstring& color, int size, int x, int y)
{
    return L",drawtext='" + std::wstring(kDrawText) + L":text='" + text + L"':fontcolor=" + color +
           L":fontsize=" + std::to_wstring(size) + L":x=" + std::to_wstring(x) + L":y=" + std::to_wstring(y) + L":'";
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

struct MediaCommandsTest : ::testing::Test {
    MediaSettings s = {};
    ProbeLines probe = {};
    MediaCommandInputs in = {};
    MediaCommands out = {};
    std::wstring source = kSource;

    void SetUp() override
    {
        s.preInput = kPre;
        s.postInput = kPost;
        s.sharpen = kSharpen;
        s.drawTextAdditional = kDrawText;
        s.fontColor = L"dddddd";
        s.stereo = {L"crop=iw/2:ih:0:0", L"crop=iw:ih/2:0:0", L"crop=iw/2:ih/1.5714:0:ih/5",
                    L"crop=iw/1.5714:ih/2:iw/5:0", L"lenscorrection=0.5:0.5:-0.53:0.34", L"lenscorrection=360"};
        s.support3D = true;
        s.overlayInfo = true;
        s.hideHoursIfZero = true;
        s.ignoreAdsWarning = false;
        const int sizes[3] = {11, 9, 9}, xs[3] = {6, 102, 102}, ys[3] = {7, 7, 84};
        for (int i = 0; i < 3; ++i) {
            s.fontSize[i] = sizes[i];
            s.xPos[i] = xs[i];
            s.yPos[i] = ys[i];
        }
        in.extension = L"mp4";
        in.waveformImage = kWaveform;
        in.output = kOutput;
        in.width = 200;
        in.height = 100;
        in.position = 17.4;
        in.settings = &s;
    }
    void build(ThumbKind kind, const wchar_t* line1, const wchar_t* line2, const wchar_t* line3, bool cover = false)
    {
        SetProbeLines(&probe, line1, line2, line3);
        in.kind = kind;
        in.cover = cover;
        in.probe = &probe;
        in.source = source.c_str();
        BuildMediaCommands(&in, &out);
    }
    std::wstring main() const { return out.main; }
    std::wstring fallback() const { return out.fallback; }
};

TEST_F(MediaCommandsTest, FrameOfAVideoWithDefaultSettings)
{
    build(kThumbFrame, L"1920\n", L"1080\n", L"100.000000\n");
    const std::wstring texts = L",drawtext='" + std::wstring(kDrawText) +
                               L":text='01'\\:'40':fontcolor=dddddd:fontsize=11:x=12:y=7:'"
                               L",drawtext='" + kDrawText +
                               L":text='\u00A0\u00A0':fontcolor=dddddd:fontsize=9:x=204:y=7:'"
                               L",drawtext='" + kDrawText +
                               L":text='1080p\u00A0\u00A0':fontcolor=dddddd:fontsize=9:x=204:y=84:'";
    EXPECT_EQ(L"-t 10 -noaccurate_seek -loglevel panic -ss 17.4000 -i \"C:\\v\\clip.mp4\" -map 0:v:0 -vf \""
              L"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,scale=200:100:force_original_aspect_ratio=decrease,pad=200:100:(ow-iw)/2:(oh-ih)/2,"
              L"select=isnan(prev_selected_t)+gte(t-prev_selected_t\\,17.4000),tile=1x1" +
                  texts +
                  L",smartblur=lr=0.62:ls=-0.90:lt=-5.0:cr=0.5:cs=1.0:ct=1.5\" "
                  L"-frames:v 1 -an -vsync 0 -f mjpeg -qscale:v 2 -y \"C:\\t\\vsl1.tmp\"",
              main());
    EXPECT_EQ(L"-t 10 -noaccurate_seek -loglevel panic -ss 0 -i \"C:\\v\\clip.mp4\" -map 0:v:0 -vf \""
              L"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,scale=200:100:force_original_aspect_ratio=decrease,pad=200:100:(ow-iw)/2:(oh-ih)/2,"
              L"select=isnan(prev_selected_t)+gte(t-prev_selected_t\\,0.0000),tile=1x1" +
                  texts +
                  L",smartblur=lr=0.62:ls=-0.90:lt=-5.0:cr=0.5:cs=1.0:ct=1.5\" "
                  L"-frames:v 1 -an -vsync 0 -f mjpeg -qscale:v 2 -y \"C:\\t\\vsl1.tmp\"",
              fallback());
    EXPECT_TRUE(out.mainFits);
    EXPECT_TRUE(out.fallbackFits);
    EXPECT_DOUBLE_EQ(100, out.duration);
}

TEST_F(MediaCommandsTest, SeekFollowsThePositionInForceForFramesAndHalfTheDurationForStills)
{
    struct Case {
        ThumbKind kind;
        const wchar_t* duration;
        double position;
        const wchar_t* head; // null: no seek, no fallback
        const wchar_t* select;
        const wchar_t* line1; // drawn text line 1, null: none
    } const cases[] = {
        {kThumbFrame, L"100\n", 17.4, L" -ss 17.4000 -i ", L"\\,17.4000)", L"01'\\:'40"},
        {kThumbFrame, L"100\n", 29.9, L" -ss 29.9000 -i ", L"\\,29.9000)", L"01'\\:'40"},
        {kThumbFrame, L"7200.4\n", 50, L" -ss 3600.2000 -i ", L"\\,3600.2000)", L"02'\\:'00'\\:'00"},
        // Raw streams and files written without an index have no duration.
        {kThumbFrame, L"N/A\n", 17.4, nullptr, L"\\,0.0000)", nullptr},
        {kThumbFrame, L"-8\n", 17.4, nullptr, L"\\,0.0000)", nullptr},
        // A GIF: half the duration, the percent position does not apply.
        {kThumbStill, L"2\n", 17.4, L" -ss 1.0000 -i ", L"\\,1.0000)", L"00'\\:'02"},
        {kThumbStill, L"0.1\n", 17.4, nullptr, L"\\,0.0000)", nullptr},
        {kThumbStill, L"N/A\n", 17.4, nullptr, L"\\,0.0000)", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (const wchar_t*)c.duration << " at " << c.position);
        in.position = c.position;
        build(c.kind, L"640\n", L"480\n", c.duration);
        if (c.head) {
            EXPECT_EQ(std::wstring(kPre) + c.head + L"\"" + kSource + L"\"" + kFromSource,
                      main().substr(0, main().find(L"scale=200")));
            EXPECT_TRUE(out.fallbackFits);
            EXPECT_TRUE(Contains(fallback(), std::wstring(kPre) + L" -ss 0 -i \"" + kSource + L"\""));
        } else {
            EXPECT_EQ(std::wstring(kPre) + L" -i \"" + kSource + L"\"" + kFromSource,
                      main().substr(0, main().find(L"scale=200")));
            EXPECT_EQ(0, out.seek);
            EXPECT_FALSE(out.fallbackFits);
        }
        EXPECT_TRUE(Contains(main(), c.select));
        if (c.line1) {
            EXPECT_TRUE(Contains(main(), DrawText(c.line1, L"dddddd", 11, 12, 7))) << main();
        } else {
            EXPECT_FALSE(Contains(main(), L"fontsize=11"));
        }
        // Only a frame has a height label.
        EXPECT_EQ(c.kind == kThumbFrame, Contains(main(), L":text='480p"));
    }
}

TEST_F(MediaCommandsTest, StereoPhotoIsNeverTimedAndKeepsItsLeftHalf)
{
    source = L"C:\\p\\photo.JPS";
    in.extension = L"JPS";
    build(kThumbStill, L"", L"", L"0.0");
    EXPECT_EQ(L"-t 10 -noaccurate_seek -loglevel panic -i \"C:\\p\\photo.JPS\" -map 0:v:0 -vf \""
              L"scale=iw*min(1\\,sar):ih/max(1\\,sar),setsar=1,crop=iw/2:ih:0:0,"
              L"scale=200:100:force_original_aspect_ratio=decrease,pad=200:100:(ow-iw)/2:(oh-ih)/2,"
              L"select=isnan(prev_selected_t)+gte(t-prev_selected_t\\,0.0000),tile=1x1" +
                  DrawText(L"3D\u00A0\u00A0", L"dddddd", 9, 204, 7) + DrawText(kNbsp2, L"dddddd", 9, 204, 84) +
                  L"," + kSharpen + L"\" " + kPost + L" \"" + kOutput + L"\"",
              main());
    EXPECT_FALSE(out.fallbackFits);

    source = L"C:\\p\\photo_180.JPS";
    build(kThumbStill, L"", L"", L"0.0");
    EXPECT_FALSE(Contains(main(), L"crop="));
    EXPECT_FALSE(Contains(main(), L"3D"));
}

// ffmpeg's image demuxer reads "%d" in a still's name as a numbered
// sequence; any other input given the option would make ffmpeg stop.
TEST_F(MediaCommandsTest, OnlyStillsWhoseNameReadsAsASequenceAreTakenLiterally)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* extension;
        ThumbKind kind;
        bool literal;
    } const cases[] = {
        {L"100%% shot%03d.JPS", L"JPS", kThumbStill, true},
        {L"50% off %d.jpg", L"jpg", kThumbStill, false}, // no sequence to ffmpeg either
        {L"anim%d.gif", L"gif", kThumbStill, false}, // a demuxer of its own
        {L"clip%d.mp4", L"mp4", kThumbFrame, false},
    };
    for (const Case& c : cases) {
        source = std::wstring(L"C:\\p\\") + c.name;
        in.extension = c.extension;
        build(c.kind, L"640", L"480", c.kind == kThumbStill ? L"0.0" : L"63.5");
        EXPECT_EQ(c.literal, Contains(main(), std::wstring(kPre) + kLiteralImageName + L" -i \"")) << c.name;
        EXPECT_EQ(c.literal, Contains(main(), kLiteralImageName)) << c.name;
    }
}

TEST_F(MediaCommandsTest, LayoutFiltersLabelsAndHeightLabels)
{
    struct Case {
        const wchar_t* source;
        bool support3D;
        const wchar_t* filters; // before scale=
        const wchar_t* line2; // null: no text besides the fillers
        const wchar_t* line3;
    } const cases[] = {
        {L"C:\\v\\clip_SBS_180.mkv", true, L"crop=iw/2:ih/1.5714:0:ih/5,lenscorrection=0.5:0.5:-0.53:0.34,", L"VR 180",
         L"2160p"},
        {L"C:\\v\\clip_OverUnder_360.mkv", true, L"crop=iw/1.5714:ih/2:iw/5:0,lenscorrection=360,", L"VR 360",
         L"1080p"},
        {L"C:\\v\\clip_TB.mkv", true, L"crop=iw:ih/2:0:0,", L"3D", L"1080p"},
        {L"C:\\v\\clip_MONO_360.mkv", true, L"lenscorrection=360,", L"VR 360 MONO", L"2160p"},
        {L"C:\\v\\clip_sbs.mkv", true, L"", nullptr, L"2160p"},
        {L"C:\\v\\clip_MONO.mkv", true, L"", nullptr, L"2160p"},
        {L"C:\\v_SBS\\clip.mkv", true, L"", nullptr, L"2160p"}, // markers only count in the name
        {L"C:\\v\\clip_TB.mkv", false, L"", nullptr, L"2160p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (const wchar_t*)c.source);
        source = c.source;
        in.extension = L"mkv";
        s.support3D = c.support3D;
        build(kThumbFrame, L"3840\n", L"2160\n", L"60\n");
        // The crops come after square pixels, the fitting after the crops.
        std::wstring head = std::wstring(kPre) + L" -ss 10.4400 -i \"" + c.source + L"\"" + kFromSource;
        EXPECT_EQ(head + c.filters + L"scale=200", main().substr(0, main().find(L"scale=200") + 9));
        std::wstring fallbackHead = std::wstring(kPre) + L" -ss 0 -i \"" + c.source + L"\"" + kFromSource;
        EXPECT_EQ(fallbackHead + c.filters + L"scale=200", fallback().substr(0, fallback().find(L"scale=200") + 9));
        std::wstring line2 = (c.line2 ? std::wstring(c.line2) : L"") + kNbsp2;
        EXPECT_TRUE(Contains(main(), DrawText(line2, L"dddddd", 9, 204, 7)));
        EXPECT_TRUE(Contains(main(), DrawText(std::wstring(c.line3) + kNbsp2, L"dddddd", 9, 204, 84)));
    }
}

TEST(ToneMap, OnlyPqAndHlgAreToneMapped)
{
    for (const wchar_t* hdr : {L"smpte2084", L"arib-std-b67"}) EXPECT_STREQ(hdr, HdrTransfer(hdr));
    for (const wchar_t* sdr : {L"bt709", L"unknown", L"bt2020-10", L"SMPTE2084", L"smpte2084 ", L""})
        EXPECT_EQ(nullptr, HdrTransfer(sdr)) << sdr;
    EXPECT_EQ(nullptr, HdrTransfer(nullptr));
}

TEST(ToneMap, FiltersBringPqToBt709)
{
    wchar_t filters[kFormatWideChars];
    ASSERT_TRUE(BuildToneMapFilters(L"smpte2084", filters, kFormatWideChars));
    EXPECT_STREQ(L",zscale=tin=smpte2084:pin=bt2020:min=bt2020nc:t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                 L"tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p",
                 filters);
    EXPECT_FALSE(BuildToneMapFilters(L"smpte2084", filters, 40));
    EXPECT_STREQ(L"", filters);
}

// HDR changes nothing but the filters right after the fitting, in both
// commands, so that the text is drawn on SDR.
TEST_F(MediaCommandsTest, HdrFramesAreToneMappedAfterTheFittingBeforeTheText)
{
    source = L"C:\\v\\clip_SBS.mp4";
    build(kThumbFrame, L"3840\n", L"2160\n", L"60\n");
    std::wstring expected[2] = {main(), fallback()};
    in.hdrTransfer = HdrTransfer(L"arib-std-b67");
    build(kThumbFrame, L"3840\n", L"2160\n", L"60\n");
    wchar_t filters[kFormatWideChars];
    ASSERT_TRUE(BuildToneMapFilters(in.hdrTransfer, filters, kFormatWideChars));
    for (std::wstring& command : expected) command.insert(command.find(L",tile=1x1") + 9, filters);
    EXPECT_EQ(expected[0], main());
    EXPECT_EQ(expected[1], fallback());
    EXPECT_TRUE(out.mainFits && out.fallbackFits);
    // A waveform's picture is our own drawing.
    build(kThumbWaveform, L"245.3\n", L"", L"245.3\n");
    EXPECT_FALSE(Contains(main(), L"zscale"));
}

TEST_F(MediaCommandsTest, WaveformReadsThePictureAndMentionsAPassedOverCover)
{
    source = L"C:\\a\\song_SBS.mp3";
    in.extension = L"mp3";
    build(kThumbWaveform, L"245.3\n", L"", L"245.3\n", true);
    EXPECT_EQ(L"-t 10 -noaccurate_seek -loglevel panic -i \"C:\\t\\vsl2.tmp\" -vf \""
              L"scale=200:100:force_original_aspect_ratio=decrease,pad=200:100:(ow-iw)/2:(oh-ih)/2,"
              L"select=isnan(prev_selected_t)+gte(t-prev_selected_t\\,122.6500),tile=1x1" +
                  DrawText(L"04'\\:'05", L"dddddd", 11, 12, 7) + DrawText(L"+cover\u00A0\u00A0", L"dddddd", 9, 204, 7) +
                  DrawText(kNbsp2, L"dddddd", 9, 204, 84) + L"," + kSharpen + L"\" " + kPost + L" \"" + kOutput + L"\"",
              main());
    EXPECT_FALSE(out.fallbackFits);
    EXPECT_DOUBLE_EQ(245.3, out.duration);

    build(kThumbWaveform, L"3\n", L"", L"", false);
    EXPECT_FALSE(Contains(main(), L"+cover"));
    EXPECT_TRUE(Contains(main(), DrawText(L"00'\\:'03", L"dddddd", 11, 12, 7)));
}

TEST_F(MediaCommandsTest, TextGeometryClampsAndFillers)
{
    struct Case {
        int width, height;
        int size1, x1, x2, x3, y3;
        const wchar_t* line1;
        const wchar_t* line2;
        const wchar_t* line3;
    } const cases[] = {
        // H = 96: 11 × 0.96 gives font size 10.
        {96, 96, 11, 6, 102, 102, 84, L"size=10:x=5:y=6:'", L"size=8:x=97:y=6:'", L"size=8:x=97:y=80:'"},
        // Font size 3 is raised to 5; X 150 of line 2 is lowered to 120.
        {200, 100, 3, 6, 150, 102, 84, L"size=5:x=12:y=7:'", L"size=9:x=240:y=7:'", L"size=9:x=204:y=84:'"},
        // Line 3's X and every Y have no bound at all; X of line 1 no lower bound.
        {200, 100, 11, -20, 102, 150, -5, L"size=11:x=-40:y=7:'", L"size=9:x=204:y=7:'", L"size=9:x=300:y=-5:'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " size " << c.size1 << " x " << c.x1 << "/"
                                        << c.x2 << "/" << c.x3);
        in.width = c.width;
        in.height = c.height;
        s.fontSize[0] = c.size1;
        s.xPos[0] = c.x1;
        s.xPos[1] = c.x2;
        s.xPos[2] = c.x3;
        s.yPos[2] = c.y3;
        build(kThumbFrame, L"640\n", L"480\n", L"100\n");
        EXPECT_TRUE(Contains(main(), std::wstring(L"01'\\:'40':fontcolor=dddddd:font") + c.line1)) << main();
        int fillers2 = ClampTextXPos(1, c.x2) - 100, fillers3 = c.x3 - 100;
        EXPECT_TRUE(Contains(main(), L"text='" + std::wstring(fillers2, L'\u00A0') + L"':fontcolor=dddddd:font" + c.line2));
        EXPECT_TRUE(Contains(main(), L"text='480p" + std::wstring(fillers3, L'\u00A0') + L"':fontcolor=dddddd:font" +
                                         c.line3));
    }
}

TEST_F(MediaCommandsTest, FillersMakeEvenAnEmptyLineDrawn)
{
    s.xPos[1] = 150; // clamped: twenty
    s.xPos[2] = 150; // not clamped: fifty
    build(kThumbStill, L"", L"", L"0.0"); // no duration, no label, no height
    EXPECT_TRUE(Contains(main(), DrawText(std::wstring(20, L'\u00A0'), L"dddddd", 9, 240, 7)));
    EXPECT_TRUE(Contains(main(), DrawText(std::wstring(50, L'\u00A0'), L"dddddd", 9, 300, 84)));

    s.xPos[1] = 100;
    s.xPos[2] = 40;
    build(kThumbStill, L"", L"", L"0.0");
    EXPECT_FALSE(Contains(main(), L"drawtext"));
}

TEST_F(MediaCommandsTest, CacheWarningColourAndMark)
{
    struct Case {
        bool overlay;
        bool adsFailed;
        bool ignoreWarning;
    } const cases[] = {
        {true, true, false}, {false, true, false}, {false, true, true}, {false, false, false}, {true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "overlay " << c.overlay << " failed " << c.adsFailed << " ignored "
                                        << c.ignoreWarning);
        s.overlayInfo = c.overlay;
        s.ignoreAdsWarning = c.ignoreWarning;
        in.adsFailed = c.adsFailed;
        build(kThumbFrame, L"640\n", L"480\n", L"100\n");
        bool warn = c.adsFailed && !c.ignoreWarning;
        std::wstring color = warn ? L"#FF7777" : L"dddddd";
        std::wstring drawn; // the whole drawtext part of the chain
        if (c.overlay)
            drawn = DrawText(warn ? L"01'\\:'40 !ADS" : L"01'\\:'40", color, 11, 12, 7) +
                    DrawText(kNbsp2, color, 9, 204, 7) + DrawText(L"480p" + std::wstring(kNbsp2), color, 9, 204, 84);
        else if (warn)
            drawn = DrawText(L" !ADS", color, 11, 12, 7);
        EXPECT_EQ(L"tile=1x1" + drawn + L"," + kSharpen + L"\"",
                  main().substr(main().find(L"tile=1x1"), main().find(L" -frames") - main().find(L"tile=1x1")));
    }
}

TEST_F(MediaCommandsTest, NoSharpenFilterWhenItsSettingIsEmpty)
{
    s.sharpen = L"";
    s.overlayInfo = false;
    build(kThumbFrame, L"640\n", L"480\n", L"100\n");
    EXPECT_TRUE(Contains(main(), L",tile=1x1\" -frames:v 1"));
    EXPECT_TRUE(Contains(fallback(), L",tile=1x1\" -frames:v 1"));
}

TEST_F(MediaCommandsTest, CommandsThatWouldNotFitAreMarkedAndNeverOverflow)
{
    const std::wstring huge(kMediaCommandChars - 1, L'x');
    struct Case {
        const char* what;
        const wchar_t** setting;
        int* number;
        int value;
    } const cases[] = {
        {"pre-input", &s.preInput, nullptr, 0},
        {"post-input", &s.postInput, nullptr, 0},
        {"sharpen", &s.sharpen, nullptr, 0},
        {"crop", &s.stereo.lr, nullptr, 0},
        {"line 3 X position", nullptr, &s.xPos[2], 2000000000},
        {"line 3 X position just too far", nullptr, &s.xPos[2], 100 + kMediaCommandChars},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        source = L"C:\\v\\clip_SBS.mp4";
        if (c.setting) *c.setting = huge.c_str();
        if (c.number) *c.number = c.value;
        build(kThumbFrame, L"640\n", L"480\n", L"100\n");
        EXPECT_FALSE(out.mainFits);
        EXPECT_FALSE(out.fallbackFits);
        EXPECT_LT(wcslen(out.main), (size_t)kMediaCommandChars);
        EXPECT_LT(wcslen(out.fallback), (size_t)kMediaCommandChars);
    }
    // A command just under the limit is kept whole.
    SetUp();
    s.overlayInfo = false;
    s.sharpen = L"";
    build(kThumbFrame, L"640\n", L"480\n", L"100\n");
    size_t room = kMediaCommandChars - 1 - wcslen(out.main);
    std::wstring pre = std::wstring(kPre) + std::wstring(room, L' ');
    s.preInput = pre.c_str();
    build(kThumbFrame, L"640\n", L"480\n", L"100\n");
    EXPECT_TRUE(out.mainFits);
    EXPECT_EQ((size_t)kMediaCommandChars - 1, wcslen(out.main));
    EXPECT_TRUE(Contains(main(), kOutput));
}

} // namespace
