#include "soak.h"

#include "jpeg_samples_test.h"
#include "support/media.h"
#include "support/rar_writer.h"

unsigned SoakRandom::next()
{
    // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return (unsigned)((state * 2685821657736338717ULL) >> 32);
}

unsigned SoakRandom::below(unsigned n)
{
    return n ? next() % n : 0;
}

bool SoakRandom::chance(unsigned percent)
{
    return below(100) < percent;
}

// Small samples of scripts/make-media and scripts/make-archives, so that a
// run of a thousand requests takes minutes, not hours.
static const wchar_t* const kVideos[] = {
    L"clip.mp4",       L"clip.mkv",          L"clip.webm", L"clip.avi",         L"clip.mov",
    L"clip.flv",       L"clip.ts",           L"portrait.mp4", L"clip_SBS_180.mp4", L"clip_OverUnder_360.mkv",
    L"anamorphic.mpg", L"two_streams.mkv",   L"clip.h264", L"live.webm",        L"novideo.mkv",
};
static const wchar_t* const kStills[] = {L"anim.gif", L"still.gif", L"photo.jps"};
static const wchar_t* const kAudio[] = {L"song.mp3", L"song.flac", L"song.m4a", L"tone.ogg", L"fade_3s.wav"};
static const wchar_t* const kImages[] = {
    L"photo.jpg", L"alpha.png", L"picture.tga", L"picture.bmp", L"picture.tif", L"picture.webp", L"panorama.jpg",
    L"icon.png",
};
static const wchar_t* const kOdd[] = {L"corrupt.mp4", L"empty.mp4", L"broken.png"};
// "stored ..." names are RAR archives of the fixture pages (readArchive).
static const wchar_t* const kComics[] = {
    L"comic.cbz", L"methods.cbz", L"cjk.cbz", L"unflagged.cbz", L"zip64.cbz", L"dotdot.cbz",
    L"stored rar5.cbr", L"stored rar4 solid.cbr", L"solid.cb7", L"nonsolid.cb7", L"lie.cb7", L"comic.cbt",
    L"gnu.cbt",
};
static const wchar_t* const kAlbums[] = {L"album.zip", L"stored rar5 solid.rar", L"book3.epub", L"book2.epub"};
// Archives whose cover cannot become a thumbnail: libarchive's RARs (real
// compression, covers that are no pictures), damaged, encrypted, empty,
// a lone volume. The ZIP bomb is left to the end-to-end tests: each
// request would write 256 MiB; the 7-Zip one is refused before unpacking.
static const wchar_t* const kOddArchives[] = {
    L"rar4.rar",      L"rar5.rar",           L"rar5-solid.rar",     L"unicode.rar",
    L"broken.rar",    L"encrypted-data.rar", L"encrypted-head.rar", L"volume1\\test.part1.rar",
    L"badcrc.cbz",    L"bzip2-cover.cbz",    L"encrypted.cbz",      L"empty.cbz",
    L"text.cbz",      L"stub.zip",           L"ppmd.cb7",           L"encrypted.cb7",
    L"encrypted-head.cb7", L"badcrc.cb7",    L"bomb.cb7",
};

#define SAMPLES(list) list, sizeof list / sizeof list[0]

static bool readMedia(const std::wstring& name, std::string* bytes)
{
    return ReadFileBytes(MediaPath(name), bytes);
}

// The RAR fixtures are libarchive's, whose entries are no pictures: RAR
// covers that the converter can read come from stored archives of the
// fixture pages, red being the one that the cover choice takes.
static bool readArchive(const std::wstring& name, std::string* bytes)
{
    if (name.compare(0, 7, L"stored ") != 0) return ReadFileBytes(ArchivePath(name), bytes);
    std::string red, green, blue;
    if (!ReadFileBytes(ArchivePath(L"red.jpg"), &red) || !ReadFileBytes(ArchivePath(L"green.jpg"), &green) ||
        !ReadFileBytes(ArchivePath(L"blue.jpg"), &blue))
        return false;
    RarArchive rar;
    rar.format = name.find(L"rar4") != std::wstring::npos ? kRar4 : kRar5;
    rar.solid = name.find(L"solid") != std::wstring::npos;
    rar.entries = {{L"010.jpg", blue}, {L"002.jpg", green}, {L"001.jpg", red}};
    *bytes = StoredRar(rar);
    return true;
}

const CorpusRow kSoakCorpus[] = {
    {"video", readMedia, SAMPLES(kVideos), Damage::None, 12, true},
    {"still", readMedia, SAMPLES(kStills), Damage::None, 3, true},
    {"audio", readMedia, SAMPLES(kAudio), Damage::None, 6, true},
    {"image", readMedia, SAMPLES(kImages), Damage::None, 6, true},
    {"comic", readArchive, SAMPLES(kComics), Damage::None, 4, true},
    {"album", readArchive, SAMPLES(kAlbums), Damage::None, 2, true},
    {"odd file", readMedia, SAMPLES(kOdd), Damage::None, 2, false},
    {"odd archive", readArchive, SAMPLES(kOddArchives), Damage::None, 3, false},
    {"truncated video", readMedia, SAMPLES(kVideos), Damage::Truncated, 6, false},
    {"bit-flipped video", readMedia, SAMPLES(kVideos), Damage::BitFlipped, 6, false},
    {"truncated audio", readMedia, SAMPLES(kAudio), Damage::Truncated, 2, false},
    {"bit-flipped comic", readArchive, SAMPLES(kComics), Damage::BitFlipped, 3, false},
};
const size_t kSoakCorpusRows = sizeof kSoakCorpus / sizeof kSoakCorpus[0];

std::wstring SoakFileName(SoakRandom& random, const std::wstring& folder, const std::wstring& sample, int serial)
{
    static const wchar_t* const kStems[] = {
        L"plain",
        L"東京 ビデオ 日本語",
        L"100% %PATH% !x! %%",
        L"a&b^c (1) [2] ;,'",
        L"ünïcødé Ελληνικά кириллица",
        L"%WINDIR% & echo owned ^ x",
        L"long",
    };
    size_t dot = sample.find_last_of(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : sample.substr(dot);
    std::wstring stem = kStems[random.below(sizeof kStems / sizeof kStems[0])];
    std::wstring tail = L" " + std::to_wstring(serial) + extension;
    if (stem == L"long") {
        // The longest path the host passes.
        size_t room = 259 > folder.size() + tail.size() ? 259 - folder.size() - tail.size() : 1;
        stem = std::wstring(room, L'n');
    }
    return folder + stem + tail;
}

void DamageBytes(SoakRandom& random, Damage damage, std::string* bytes)
{
    if (bytes->empty()) return;
    if (damage == Damage::Truncated) {
        bytes->resize(random.below((unsigned)bytes->size()));
    } else if (damage == Damage::BitFlipped) {
        unsigned flips = 1 + random.below(40);
        for (unsigned i = 0; i < flips; ++i) (*bytes)[random.below((unsigned)bytes->size())] ^= (char)(1 << random.below(8));
    }
}

const char* const kPlantedKinds[] = {
    "cut", "bit-flipped", "declares 65500 x 65500", "progressive 22000 x 22000, 100 empty scans",
    "progressive 12000 x 12000, 100 empty scans", "no JPEG", "empty",
};
const size_t kPlantedKindCount = sizeof kPlantedKinds / sizeof kPlantedKinds[0];

PlantedJpeg MakePlantedJpeg(SoakRandom& random, const std::string& thumbnail)
{
    unsigned kind = random.below((unsigned)kPlantedKindCount);
    PlantedJpeg planted = {kPlantedKinds[kind], thumbnail};
    switch (kind) {
    case 0: DamageBytes(random, Damage::Truncated, &planted.bytes); break;
    case 1: DamageBytes(random, Damage::BitFlipped, &planted.bytes); break;
    case 2: planted.bytes = WithDimensions(thumbnail, 65500, 65500); break;
    case 3: planted.bytes = WithDimensions(ManyScanJpeg(16, 16, 100), 22000, 22000); break;
    case 4: planted.bytes = WithDimensions(ManyScanJpeg(16, 16, 100), 12000, 12000); break;
    case 5:
        planted.bytes.resize(1 + random.below(4096));
        for (char& c : planted.bytes) c = (char)random.next();
        break;
    default: planted.bytes.clear(); break;
    }
    return planted;
}

std::wstring JunkProbeOutput(SoakRandom& random)
{
    static const wchar_t* const kLines[] = {
        L"1920", L"1080", L"60.5", L"0", L"-1", L"nan", L"inf", L"-inf", L"1e308", L"-1e308", L"N/A", L"0x10",
        L"1920.5", L"", L"abc", L"99999999999999999999", L"4294967296", L"2147483647", L"-2147483648",
        L"%PATH%", L"東京", L"1e-320", L"   7", L"8\t9",
    };
    std::wstring output;
    unsigned lines = random.below(8);
    for (unsigned i = 0; i < lines; ++i) {
        if (i) output += L"\n";
        output += random.chance(5) ? std::wstring(600, L'9') : kLines[random.below(sizeof kLines / sizeof kLines[0])];
    }
    return output;
}

std::vector<SettingChoice> SoakSettingChoices(const SoakTools& tools)
{
    std::wstring overlong(300, L'x');
    return {
        {L"ffprobePath (chars)", {tools.ffprobe, tools.junkProbe, tools.batchProbe, tools.missing, overlong}},
        {L"ffmpegPath (chars)", {tools.ffmpeg, tools.missing}},
        {L"irfanviewPath (chars)", {tools.converter, tools.batchConverter, tools.missing, overlong}},
        {L"irfanviewMidInputParam (chars)",
         {L"/silent /aspectratio /resample /sharpen=16 /jpgq=91", L"NULL", L"/jpgq=1 /bogus %PATH%"}},
        {L"ADS (bool)", {L"1", L"0"}},
        {L"ADS Multiple Thumbnail Sizes (bool)", {L"0", L"1"}},
        {L"ADS force refresh (bool)", {L"0", L"1"}},
        {L"ADS RefreshIfCmdChanged (bool)", {L"1", L"0"}},
        {L"ADS Ignore ADS Warning (bool)", {L"0", L"1"}},
        {L"PercentPosition (double)", {L"17.4", L"0", L"99.99", L"-5", L"1e308", L"nan", L"0x20"}},
        {L"UserRefreshTimeout (double)", {L"1.35", L"0", L"-1", L"1e9"}},
        {L"PercentRotationStep (double)", {L"12.50", L"0", L"50", L"-12.5", L"inf"}},
        {L"FontSize (int)", {L"11", L"0", L"-3", L"400", L"2147483647"}},
        {L"TextLine1XPos (int)", {L"6", L"-50", L"150", L"-2147483648"}},
        {L"TextLine3XPos (int)", {L"102", L"1000", L"-7"}},
        {L"TextLine3YPos (int)", {L"84", L"-1000", L"100000"}},
        {L"FontColor (chars)", {L"dddddd", L"NULL", L"not a colour", L"%PATH%"}},
        {L"OverlayInfo (bool)", {L"1", L"0"}},
        {L"3DSupport (bool)", {L"1", L"0"}},
        {L"AudioCoverHasPriority (bool)", {L"1", L"0"}},
        {L"AudioShowFadeInOut (bool)", {L"1", L"0"}},
        {L"AudioIdealFadeInOutInSecs (double)", {L"2.00", L"0", L"-1", L"1e6"}},
        {L"AudioSeparatorThickness (int)", {L"1", L"0", L"-5", L"500"}},
        {L"AudioTimeMaxInSecs (double)", {L"900", L"0", L"1"}},
        {L"ffmpegVideoPreInputParams (chars)", {L"-t 10 -noaccurate_seek -loglevel panic", L"NULL", L"-bogus"}},
        {L"ffmpegSharpenInputParams (chars)",
         {L"smartblur=lr=0.62:ls=-0.90:lt=-5.0:cr=0.5:cs=1.0:ct=1.5", L"NULL", L"unsharp"}},
        {L"ffmpegVideoDrawTextAdditional (chars)",
         {L"fontfile=c\\:/Windows/Fonts/micross.ttf:fix_bounds=1:shadowcolor=black:shadowx=1:shadowy=1", L"NULL",
          overlong}},
    };
}
