// The stream cache through the exported thumbnail entry, with a stand-in
// generator that writes as the real ones do.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "box_recorder.h"
#include "cache/stream_cache.h"
#include "cache/stream_cache_testing.h"
#include "cache/stream_names.h"
#include "common/format.h"
#include "plugin/state.h"
#include "request_harness.h"
#include "settings/settings.h"
#include "support/ini_text.h"
#include "support/scratch.h"

namespace {

const FILETIME kOldTime = MakeFileTime(2024, 3, 7, 18, 5, 9, 1234567);
const wchar_t kOldRecordTime[] = L"2024.03.07 18:05:09";

struct StreamCache : ::testing::Test {
    ScratchDir dir{L"cache"};
    StandInGenerator generator;
    std::wstring source;

    void SetUp() override
    {
        generator.jpeg = FixtureJpeg();
        ASSERT_TRUE(FileExists(generator.jpeg)) << "fixture JPEG missing; is VSL_TESTIMAGES set?";
        InstallStandInGenerator(&generator);
        source = makeSource(dir.path, L"clip.mp4");
    }
    void TearDown() override
    {
        InstallStandInGenerator(nullptr);
        ForgetTestSettings();
    }
    static std::wstring makeSource(const std::wstring& folder, const std::wstring& name)
    {
        std::wstring path = folder + name;
        EXPECT_TRUE(WriteFileBytes(path, std::string(4096, 'v')));
        EXPECT_TRUE(SetTimes(path, {kOldTime, kOldTime, kOldTime}));
        return path;
    }
    // ADS on; no quick repeats unless a test asks for them.
    void settings(SettingsValues values = {})
    {
        values.insert(values.begin(), {L"UserRefreshTimeout (double)", L"-1"});
        values.insert(values.begin(), {L"ADS (bool)", L"1"});
        UseSettingsIn(dir.path, values);
    }
    std::wstring cacheIni() const { return source + L":cache.ini"; }
    void expectTimesUnchanged(const std::wstring& path)
    {
        FileTimes now;
        ASSERT_TRUE(GetTimes(path, &now));
        EXPECT_TRUE(SameTime(kOldTime, now.write)) << "last-write time changed";
        EXPECT_TRUE(SameTime(kOldTime, now.access)) << "last-access time changed";
    }
};

TEST_F(StreamCache, MissWritesStreamAndRecordThenHitRunsNothing)
{
    settings();
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(1, generator.calls);
    EXPECT_TRUE(generator.lastUsedCache);
    EXPECT_EQ(L"\\\\?\\", generator.lastOut.substr(0, 4)) << "stream path is the real path";
    EXPECT_EQ(L"clip.mp4:preview.jpg", generator.lastOut.substr(generator.lastOut.size() - 20));
    std::string stream;
    ASSERT_TRUE(ReadFileBytes(source + L":preview.jpg", &stream));
    EXPECT_GT(stream.size(), 1000u);
    std::wstring record = ReadProfile(cacheIni(), L":preview.jpg");
    EXPECT_EQ(std::wstring(kOldRecordTime) + L"|", record.substr(0, 20));
    EXPECT_EQ(L"|96x96", record.substr(record.size() - 6));
    expectTimesUnchanged(source);

    SIZE size = {};
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96, &size));
    EXPECT_EQ(1, generator.calls) << "a hit runs no generator";
    EXPECT_EQ(96, size.cx);
    expectTimesUnchanged(source);
    EXPECT_TRUE(RecordedBoxes().empty());
}

struct MissCase {
    const char* label;
    SettingsValues extra;
    std::function<void(StreamCache&)> change;
    int width, height;
    bool miss;
};

TEST_F(StreamCache, WhatMakesTheNextRequestAMiss)
{
    const FILETIME later = MakeFileTime(2025, 1, 2, 3, 4, 5);
    const MissCase cases[] = {
        {"nothing changed", {}, [](StreamCache&) {}, 96, 96, false},
        {"source saved again", {}, [&](StreamCache& t) { SetTimes(t.source, {later, later, later}); }, 96, 96, true},
        {"file time ignored when its test is off",
         {{L"ADS RefreshIfFileTimeChanged (bool)", L"0"}},
         [&](StreamCache& t) { SetTimes(t.source, {later, later, later}); }, 96, 96, false},
        {"setting inside the signature",
         {},
         [](StreamCache& t) { ChangeSetting(t.dir.path, L"FontSize (int)", L"12"); }, 96, 96, true},
        {"signature ignored when its test is off",
         {{L"ADS RefreshIfCmdChanged (bool)", L"0"}},
         [](StreamCache& t) { ChangeSetting(t.dir.path, L"FontSize (int)", L"12"); }, 96, 96, false},
        {"setting outside the signature",
         {},
         [](StreamCache& t) { ChangeSetting(t.dir.path, L"ffprobePath (chars)", L"C:\\elsewhere\\ffprobe.exe"); },
         96, 96, false},
        {"another cell size", {}, [](StreamCache&) {}, 128, 96, true},
        {"force refresh",
         {},
         [](StreamCache& t) { ChangeSetting(t.dir.path, L"ADS force refresh (bool)", L"1"); }, 96, 96, true},
        {"stream emptied", {}, [](StreamCache& t) { WriteFileBytes(t.source + L":preview.jpg", ""); }, 96, 96, true},
        {"record lost", {}, [](StreamCache& t) { DeleteFileW(t.cacheIni().c_str()); }, 96, 96, true},
        {"record cut short",
         {},
         [](StreamCache& t) {
             WritePrivateProfileStringW(L"vistrel", L":preview.jpg", kOldRecordTime, t.cacheIni().c_str());
         },
         96, 96, true},
    };
    for (const MissCase& c : cases) {
        SCOPED_TRACE(c.label);
        TearDown();
        SetUp();
        generator.calls = 0;
        settings(c.extra);
        ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
        c.change(*this);
        ASSERT_TRUE(RequestThumbnailSize(source, c.width, c.height));
        EXPECT_EQ(c.miss ? 2 : 1, generator.calls);
        RemoveTree(dir.path);
        CreateDirectoryW(dir.path.c_str(), NULL);
    }
}

TEST_F(StreamCache, ForceRefreshRemindsOnEveryLoad)
{
    settings({{L"ADS force refresh (bool)", L"1"}});
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    ASSERT_FALSE(RecordedBoxes().empty());
    EXPECT_EQ(L"debug", RecordedBoxes()[0].caption);
    EXPECT_NE(std::wstring::npos, RecordedBoxes()[0].text.find(L"Remainder: bADSForceRefreshini is set to 1"));
}

TEST_F(StreamCache, MultipleSizesKeepOneStreamEach)
{
    settings({{L"ADS Multiple Thumbnail Sizes (bool)", L"1"}});
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    ASSERT_TRUE(RequestThumbnailSize(source, 128, 128));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    ASSERT_TRUE(RequestThumbnailSize(source, 128, 128));
    EXPECT_EQ(2, generator.calls);
    EXPECT_TRUE(FileExists(source + L":p96x96.jpg"));
    EXPECT_TRUE(FileExists(source + L":p128x128.jpg"));
    EXPECT_FALSE(FileExists(source + L":preview.jpg"));
    std::wstring record = ReadProfile(cacheIni(), L":p128x128.jpg");
    EXPECT_EQ(std::wstring(kOldRecordTime) + L"|", record.substr(0, 20));
    EXPECT_EQ(1, std::count(record.begin(), record.end(), L'|')) << "no size field in multiple-size mode";
}

TEST_F(StreamCache, QuickRepeatRotatesAndStoresThePosition)
{
    settings({{L"UserRefreshTimeout (double)", L"100000"}});
    std::wstring other = makeSource(dir.path, L"other.mp4");
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_DOUBLE_EQ(17.4, generator.lastPosition);
    EXPECT_EQ(L"", ReadProfile(cacheIni(), L"rot"));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls) << "a repeat forces a new thumbnail";
    EXPECT_DOUBLE_EQ(12.5, generator.lastPosition);
    EXPECT_EQ(L"12.50000", ReadProfile(cacheIni(), L"rot"));
    // A fresh request (another file came between) uses the stored position
    // and hits, since the thumbnail was made at that position.
    ASSERT_TRUE(RequestThumbnailSize(other, 96, 96));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(3, generator.calls);
    expectTimesUnchanged(source);
}

TEST_F(StreamCache, StoredPositionIsUsedAndRotatingBackToTheStartRemovesIt)
{
    settings({{L"UserRefreshTimeout (double)", L"100000"}});
    std::wstring other = makeSource(dir.path, L"other.mp4");
    WritePrivateProfileStringW(L"vistrel", L"rot", L"50.00000", cacheIni().c_str());
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_DOUBLE_EQ(50, generator.lastPosition);
    ASSERT_TRUE(RequestThumbnailSize(other, 96, 96));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls) << "stored 50 % thumbnail is a hit";

    WritePrivateProfileStringW(L"vistrel", L"rot", L"87.50000", cacheIni().c_str());
    ASSERT_TRUE(RequestThumbnailSize(other, 96, 96));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96)); // 87.5: a miss
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96)); // repeat: back to 17.4
    EXPECT_DOUBLE_EQ(17.4, generator.lastPosition);
    EXPECT_EQ(L"", ReadProfile(cacheIni(), L"rot"));
}

TEST_F(StreamCache, ReadOnlySourceIsCachedAndStaysReadOnly)
{
    settings();
    ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_TRUE(generator.lastUsedCache);
    EXPECT_TRUE(FileExists(source + L":preview.jpg"));
    EXPECT_TRUE(GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_READONLY);
    expectTimesUnchanged(source);
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(1, generator.calls);
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StreamCache, SourceOpenElsewhereIsNotCached)
{
    settings();
    // Someone reading the file (a player, say) and sharing it for reading.
    HANDLE holder = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_TRUE(RequestThumbnailSize(source, 96, 96));
    CloseHandle(holder);
    EXPECT_EQ(1, generator.calls);
    EXPECT_FALSE(generator.lastUsedCache);
    EXPECT_TRUE(generator.lastCacheFailed);
    EXPECT_FALSE(FileExists(source + L":preview.jpg"));
    EXPECT_FALSE(FileExists(cacheIni()));
}

TEST_F(StreamCache, StreamThatCannotBeCreatedFallsBackToATemporaryFile)
{
    settings();
    // Like a volume without named streams: the stream cannot be created.
    ASSERT_TRUE(CreateDirectoryW((source + L":preview.jpg").c_str(), NULL));
    ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    SIZE size = {};
    EXPECT_TRUE(RequestThumbnailSize(source, 96, 96, &size));
    EXPECT_EQ(96, size.cx);
    EXPECT_EQ(1, generator.calls);
    EXPECT_FALSE(generator.lastUsedCache);
    EXPECT_TRUE(generator.lastCacheFailed);
    EXPECT_EQ(std::wstring::npos, generator.lastOut.find(L"clip.mp4"));
    EXPECT_TRUE(GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_READONLY) << "attribute put back";
    expectTimesUnchanged(source);
    EXPECT_FALSE(FileExists(cacheIni()));
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StreamCache, WithoutAnyRecordSwitchEveryRequestMakesTheThumbnail)
{
    settings({{L"ADS RefreshIfFileTimeChanged (bool)", L"0"},
              {L"ADS RefreshIfCmdChanged (bool)", L"0"},
              {L"ADS AlwaysSaveCache (bool)", L"0"}});
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(3, generator.calls);
    EXPECT_EQ(L"", ReadProfile(cacheIni(), L":preview.jpg"));
}

TEST_F(StreamCache, WorksOnTheWinePrefixDriveToo)
{
    wchar_t folder[MAX_PATH];
    swprintf(folder, MAX_PATH, L"C:\\vsl-cache-%lu\\", GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder, NULL));
    std::wstring onC = makeSource(folder, L"clip on c.mkv");
    settings();
    EXPECT_TRUE(RequestThumbnailSize(onC, 96, 96));
    EXPECT_TRUE(RequestThumbnailSize(onC, 96, 96));
    EXPECT_EQ(1, generator.calls);
    EXPECT_EQ(L"\\\\?\\C:\\", generator.lastOut.substr(0, 7));
    expectTimesUnchanged(onC);
    RemoveTree(folder);
}

TEST_F(StreamCache, KeptThumbnailThatNoLongerDecodesIsMadeAgainOnce)
{
    settings();
    std::wstring notJpeg = dir.path + L"not.jpg";
    ASSERT_TRUE(WriteFileBytes(notJpeg, "this is no JPEG"));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    // Another tool's stream of the same name, under a record that matches.
    ASSERT_TRUE(WriteFileBytes(source + L":preview.jpg", "damaged"));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls);
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls) << "the thumbnail made again is kept";
    // A generator whose output never decodes gets one more run per request.
    generator.jpeg = notJpeg;
    ASSERT_TRUE(WriteFileBytes(source + L":preview.jpg", "damaged"));
    EXPECT_FALSE(RequestThumbnailSize(source, 96, 96));
    EXPECT_FALSE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(4, generator.calls);
    EXPECT_TRUE(RecordedBoxes().empty());
    expectTimesUnchanged(source);
}

TEST_F(StreamCache, OnlyAFinitePositionBelowAHundredIsTakenFromRot)
{
    settings();
    const double configured = gPercentPosition;
    const struct {
        const wchar_t* rot;
        double position;
    } cases[] = {
        {L"50.00000", 50},  {L" 0", 0},         {L"99.99999", 99.99999}, {L"12.5 and more", 12.5},
        {L"nan", configured}, {L"-inf", configured}, {L"INFINITY", configured}, {L"1e999", configured},
        {L"0x20", configured}, {L"100", configured}, {L"-0.5", configured}, {L"abc", configured},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.rot)));
        std::wstring clip = makeSource(dir.path, L"clip" + std::to_wstring(++n) + L".mp4");
        WritePrivateProfileStringW(L"vistrel", L"rot", c.rot, (clip + L":cache.ini").c_str());
        ASSERT_TRUE(RequestThumbnailSize(clip, 96, 96));
        EXPECT_DOUBLE_EQ(c.position, generator.lastPosition);
    }
}

TEST_F(StreamCache, TimesNotPutBackAfterTheWritabilityProbeDropTheCache)
{
    settings();
    ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
    RefuseTimeRestoresForTests(true);
    SIZE size = {};
    bool made = RequestThumbnailSize(source, 96, 96, &size);
    RefuseTimeRestoresForTests(false);
    EXPECT_TRUE(made);
    EXPECT_EQ(96, size.cx);
    EXPECT_FALSE(generator.lastUsedCache);
    EXPECT_TRUE(generator.lastCacheFailed);
    EXPECT_EQ(std::wstring::npos, generator.lastOut.find(L"clip.mp4")) << "made through a temporary file";
    EXPECT_FALSE(FileExists(cacheIni()));
    EXPECT_TRUE(GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_READONLY) << "attribute put back";
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_NE(std::wstring::npos, RecordedBoxes()[0].text.find(L"Could not set back original time"));
    SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// With the cache on, the size gate is the cache's own open of the source.
TEST_F(StreamCache, EmptyOrLockedSourceIsRefusedBeforeAnyWork)
{
    settings();
    std::wstring empty = dir.path + L"empty.mp4";
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    EXPECT_FALSE(RequestThumbnailSize(empty, 96, 96));
    EXPECT_FALSE(RequestThumbnailSize(dir.path + L"missing.mp4", 96, 96));
    HANDLE locked = CreateFileW(source.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_FALSE(RequestThumbnailSize(source, 96, 96));
    CloseHandle(locked);
    EXPECT_EQ(0, generator.calls);
    EXPECT_FALSE(FileExists(cacheIni()));
    EXPECT_TRUE(RecordedBoxes().empty());
}

// The record is read in place, not through the profile functions: what
// they would read in any form must still be a hit.
TEST_F(StreamCache, RecordsInEveryFormTheProfileFunctionsReadStillHit)
{
    const std::function<std::string(const std::wstring& text, const std::wstring& record)> forms[] = {
        // As an editor saves it.
        [](auto& text, auto&) { return Utf16Bytes(text); },
        // Other case, blanks and quotes.
        [](auto&, auto& record) { return "[VISTREL]\r\n  :PREVIEW.JPG = \"" + Utf8(record) + "\"\r\n"; },
    };
    for (const auto& form : forms) {
        TearDown();
        SetUp();
        generator.calls = 0;
        settings();
        ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
        std::wstring record = ReadProfile(cacheIni(), L":preview.jpg");
        std::string bytes = form(IniFileText(cacheIni()), record);
        ASSERT_TRUE(WriteFileBytes(cacheIni(), bytes));
        ASSERT_EQ(record, ReadProfile(cacheIni(), L":preview.jpg"));
        ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
        EXPECT_EQ(1, generator.calls) << testing::PrintToString(bytes.substr(0, 40));
        RemoveTree(dir.path);
        CreateDirectoryW(dir.path.c_str(), NULL);
    }
}

// A record stream past the bound is planted or damaged. Handed to the
// profile functions it would be read and rewritten whole on every request;
// it counts as no record instead (its position too, which would change the
// signature), and the miss writes a small one over it.
TEST_F(StreamCache, ARecordPastTheBoundIsAMissAndIsWrittenOver)
{
    settings();
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    std::string record;
    for (const std::wstring& line : IniFileLines(cacheIni())) record += Utf8(line) + "\r\n";
    record += "rot=50.00000\r\n";
    ASSERT_TRUE(WriteFileBytes(cacheIni(), "; " + std::string(kCacheRecordMaxBytes, '-') + "\r\n" + record));
    ASSERT_TRUE(SetTimes(source, {kOldTime, kOldTime, kOldTime}));

    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls);
    EXPECT_EQ((std::vector<std::wstring>{L"[vistrel]", L":preview.jpg=" + ReadProfile(cacheIni(), L":preview.jpg")}),
              IniFileLines(cacheIni()));
    ASSERT_TRUE(RequestThumbnailSize(source, 96, 96));
    EXPECT_EQ(2, generator.calls) << "the record written over it is read";
    expectTimesUnchanged(source);
    EXPECT_TRUE(RecordedBoxes().empty());
}

TEST(CacheRecord, ParsesUpToThreeFields)
{
    struct Case {
        const wchar_t* text;
        const wchar_t *a, *b, *c;
    };
    const std::wstring longField(32, L'x');
    const std::wstring fits(31, L'y');
    const std::wstring tooLong = L"2024.03.07 18:05:09|" + longField + L"|96x96";
    const std::wstring justFits = L"t|" + fits;
    const Case cases[] = {
        {L"2024.03.07 18:05:09|12c|96x96", L"2024.03.07 18:05:09", L"12c", L"96x96"},
        {L"2024.03.07 18:05:09|12c", L"2024.03.07 18:05:09", L"12c", L""},
        {L"a|b|c|d|e", L"a", L"b", L"c"},
        {L"a||c", L"a", L"", L"c"},
        {L"|||", L"", L"", L""},
        {L"", L"", L"", L""},
        {L"only", L"only", L"", L""},
        {tooLong.c_str(), L"2024.03.07 18:05:09", L"", L"96x96"},
        {justFits.c_str(), L"t", fits.c_str(), L""},
    };
    for (const Case& c : cases) {
        wchar_t a[kRecordFieldChars + 1], b[kRecordFieldChars + 1], d[kRecordFieldChars + 1];
        a[kRecordFieldChars] = b[kRecordFieldChars] = d[kRecordFieldChars] = L'#';
        parseCacheRecord(c.text, L'|', a, b, d);
        EXPECT_STREQ(c.a, a) << testing::PrintToString(std::wstring(c.text));
        EXPECT_STREQ(c.b, b);
        EXPECT_STREQ(c.c, d);
        EXPECT_EQ(L'#', a[kRecordFieldChars]);
        EXPECT_EQ(L'#', b[kRecordFieldChars]);
        EXPECT_EQ(L'#', d[kRecordFieldChars]);
    }
}

TEST(CacheRecord, TextOfBothModes)
{
    ScratchDir dir(L"record");
    std::wstring source = dir.path + L"clip.mp4";
    ASSERT_TRUE(WriteFileBytes(source, "data"));
    ASSERT_TRUE(SetTimes(source, {kOldTime, kOldTime, kOldTime}));
    bool saved[4] = {bADSMultipleThumbnailSizes, bADSRefreshIfFileTimeChanged, bADSRefreshIfCmdChanged,
                     bADSAlwaysSaveCache};
    CopyWide(gFileThumbsCachedADS, kCachedAdsChars, (source + L":cache.ini").c_str());
    CopyWide(gCacheSignature, kSignatureChars, L"12c");
    gThumbWidth = 96;
    gThumbHeight = 96;
    bADSRefreshIfFileTimeChanged = bADSRefreshIfCmdChanged = false;
    bADSAlwaysSaveCache = true;
    struct Case {
        bool multiple;
        const wchar_t* stream;
        const wchar_t* record;
    } cases[] = {{false, L":preview.jpg", L"2024.03.07 18:05:09|12c|96x96"},
                 {true, L":p96x96.jpg", L"2024.03.07 18:05:09|12c"}};
    for (const Case& c : cases) {
        bADSMultipleThumbnailSizes = c.multiple;
        CopyWide(gStreamName, kStreamNameChars, c.stream);
        ASSERT_TRUE(captureSourceTimes(source.c_str()));
        writeCacheRecord();
        ASSERT_TRUE(restoreSourceTimes(source.c_str()));
        EXPECT_EQ(c.record, ReadProfile(source + L":cache.ini", c.stream));
    }
    bADSMultipleThumbnailSizes = saved[0];
    bADSRefreshIfFileTimeChanged = saved[1];
    bADSRefreshIfCmdChanged = saved[2];
    bADSAlwaysSaveCache = saved[3];
}

} // namespace
