// Which entry of an archive becomes its cover, and what extraction through
// the real UnRAR library (beside the test program) and the ZIP reader
// writes into the cover file: the chosen entry whole, or nothing usable;
// never a question, a wait, or more than the bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <unrar/dll.hpp>

#include "box_recorder.h"
#include "generators/archive_cover.h"
#include "generators/cover_choice.h"
#include "generators/epub_cover.h"
#include "support/media.h"
#include "support/rar_writer.h"
#include "support/scratch.h"

namespace {

TEST(CoverChoice, NameOrderImageKindsAndTheChosenEntry)
{
    const wchar_t* const ascending[][2] = {
        {L"a/b", L"a.b"}, {L"a.b", L"a_b"}, {L"a_b", L"a"}, {L"a", L"ab"}, {L"10.jpg", L"1a.jpg"},
        {L"a/b", L"a\\b"}, {L"a\\b", L"a b"}, {L"a b", L"a.b"}, {L"Vol 1/01.jpg", L"Vol 1.jpg"},
        {L"img_10.jpg", L"IMG_2.JPG"}, {L"Z", L"\u00e9"}, {L"\u00c9", L"\u00e9"}, {L"\u8868", L"\u8868\u7d19"},
    };
    for (const auto& pair : ascending) {
        EXPECT_EQ(-1, CompareNames(pair[0], pair[1])) << Utf8(pair[0]) << " before " << Utf8(pair[1]);
        EXPECT_EQ(1, CompareNames(pair[1], pair[0])) << Utf8(pair[1]) << " after " << Utf8(pair[0]);
    }
    EXPECT_EQ(0, CompareNames(L"Page_01.JPG", L"page_01.jpg"));

    const struct {
        const wchar_t* name;
        int kind;
    } kinds[] = {{L"photo.jpeg", kImageJpeg}, {L"Xjpeg", kImageJpeg}, {L".JPG", kImageJpeg}, {L"jpg", kImageNone},
                 {L"a.Png", kImagePng},       {L"a.GIF", kImageGif},  {L"a.tga", kImageTga},  {L"a.jpg.txt", kImageNone},
                 {L"a.jpe", kImageNone},      {L"", kImageNone}};
    for (const auto& k : kinds) EXPECT_EQ(k.kind, ClassifyImageName(k.name)) << Utf8(k.name);

    const struct {
        int mode;
        std::vector<const wchar_t*> names;
        int cover;
    } choices[] = {
        {kComicsMode, {L"010.jpg", L"002.jpg", L"001.png"}, 2},
        {kComicsMode, {L"x.jpg", L"same.jpg", L"SAME.JPG"}, 1},
        {kComicsMode, {L"cover.jpg", L"a.jpg"}, 1}, // cover words count in albums only
        {kComicsMode, {L"notes.txt", L"jpg"}, -1},
        {kAlbumsMode, {L"01.jpg", L"Art/Front-COVER.jpg", L"folder.jpg"}, 1},
        {kAlbumsMode, {L"Covers/02.jpg", L"01.jpg"}, 1}, // the folder part is not searched
        {kAlbumsMode, {L"z_preview.gif", L"a_folder.png"}, 0},
        {kAlbumsMode, {L"cover.txt", L"b.jpg", L"a.jpg"}, 2},
        // Resource forks and their folder, as archivers on macOS add them
        {kComicsMode, {L"__MACOSX/._001.jpg", L"._000.jpg", L"__macosx\\x.jpg", L"001.jpg"}, 3},
        {kAlbumsMode, {L"__MACOSX/Album/._cover.jpg", L"Album/._folder.jpg", L"b.jpg"}, 2},
        {kComicsMode, {L"__MACOSX2/01.jpg", L"02.jpg"}, 0},
        // Newer formats only when none of the four kinds is there
        {kComicsMode, {L"002.webp", L"001.WEBP", L"000.jpe"}, 1},
        {kComicsMode, {L"001.webp", L"002.jpg"}, 1},
        {kAlbumsMode, {L"cover.webp", L"b.jpg"}, 1},
        {kAlbumsMode, {L"a.bmp", L"Front cover.avif", L"folder.jxl", L"0.jfif"}, 1},
    };
    for (const auto& c : choices) {
        CoverChoice choice;
        StartCoverChoice(&choice);
        for (size_t i = 0; i < c.names.size(); ++i)
            if (ConsiderCoverEntry(&choice, c.names[i], (int)i, c.mode)) break;
        EXPECT_EQ(c.cover, choice.bestIndex) << Utf8(c.names[0]) << ", mode " << c.mode;
    }
}

// The text each finder gives, or nullptr when it gives none.
const char* found(bool (*find)(const char*, size_t, char*, size_t), const std::string& xml, char* out)
{
    return find(xml.data(), xml.size(), out, kBookPathBytes) ? out : nullptr;
}

TEST(BookCover, ContainerAndPackageDocumentsAreScannedForTheirFewAttributes)
{
    const struct {
        bool (*find)(const char*, size_t, char*, size_t);
        std::string xml;
        const char* value;
    } rows[] = {
        {FindRootfilePath, "<container><rootfiles><rootfile full-path=\"OEBPS/a.opf\"/><rootfile full-path=\"b.opf\"/>",
         "OEBPS/a.opf"},
        {FindRootfilePath, "<!-- <rootfile full-path=\"no\"/> --><rootfile media-type=\"x\" full-path='b&amp;c>.opf'/>",
         "b&c>.opf"},
        {FindRootfilePath, "<ocf:rootfile ocf:full-path=\"x.opf\"/>", "x.opf"},
        {FindRootfilePath, "<rootfiles full-path=\"no.opf\"/>", nullptr},
        {FindRootfilePath, "<rootfile full-path=\"&bogus;.opf\"/>", nullptr},
        {FindRootfilePath, "<rootfile full-path=\"a.opf", nullptr},
        {FindCoverHref, "<item href=\"nav.xhtml\" properties=\"nav\"/><item href=\"c.jpg\" properties=\"svg cover-image\"/>",
         "c.jpg"},
        {FindCoverHref, "<item href=\"x.jpg\" properties=\"cover-image-x\"/>", nullptr},
        {FindCoverHref, "<meta content=\"i1\" name=\"cover\"/><item id=\"i0\" href=\"a.jpg\"/><item id=\"i1\" href=\"b.jpg\"/>",
         "b.jpg"},
        {FindCoverHref, "<meta name=\"cover\" content=\"i1\"/><item id=\"i1\" href=\"b.jpg\"/><item href=\"c.jpg\" "
                        "properties=\"cover-image\"/>",
         "c.jpg"},
        {FindCoverHref, "<meta name=\"cover\" content=\"zz\"/><item id=\"i1\" href=\"b.jpg\"/>", nullptr},
        {FindCoverHref, "<![CDATA[<item href=\"no.jpg\" properties=\"cover-image\"/>]]>", nullptr},
        {FindCoverHref, "<opf:item href=\"&#x70;&#49;&#x6F22;.jpg\" properties=\"cover-image\"/>", "p1\xe6\xbc\xa2.jpg"},
        {FindCoverHref, "<item href=\"&#0;.jpg\" properties=\"cover-image\"/>", nullptr},
    };
    for (const auto& row : rows) {
        char out[kBookPathBytes];
        const char* value = found(row.find, row.xml, out);
        EXPECT_STREQ(row.value, value) << row.xml;
    }
}

TEST(BookCover, HrefsResolveInsideTheArchive)
{
    const struct {
        const char* package;
        const char* href;
        const char* entry; // nullptr: refused
    } rows[] = {
        {"OEBPS/content.opf", "images/c.jpg", "OEBPS/images/c.jpg"},
        {"OEBPS/content.opf", "../Images/p%20001.jpg", "Images/p 001.jpg"},
        {"content.opf", "../../../etc/c.jpg", "etc/c.jpg"},
        {"a/b/c.opf", "./x//../y.jpg#cover", "a/b/y.jpg"},
        {"a/c.opf", "/root.jpg", "root.jpg"},
        {"a/c.opf", "%E6%BC%AB.jpg", "a/\xe6\xbc\xab.jpg"},
        {"a/c.opf", "http://host/c.jpg", nullptr},
        {"a/c.opf", "c:/c.jpg", nullptr},
        {"a/c.opf", "bad%2", nullptr},
        {"a/c.opf", "%00.jpg", nullptr},
        {"a/c.opf", "..", nullptr},
    };
    for (const auto& row : rows) {
        char out[kBookPathBytes];
        bool resolved = ResolveBookHref(row.package, row.href, out, sizeof out);
        EXPECT_STREQ(row.entry, resolved ? out : nullptr) << row.package << " + " << row.href;
    }
}

class ArchiveCover : public ::testing::Test {
protected:
    ScratchDir dir{L"archive-cover"};
    std::wstring coverFile = dir.path + L"cover.tmp";
    long long writtenSize = 0; // what the last extraction left, used or not

    void SetUp() override { ClearRecordedBoxes(); }
    void TearDown() override
    {
        gCoverByteLimit = kCoverByteLimit;
        gUnpackBeforeCoverLimit = kUnpackBeforeCoverLimit;
        gArchiveEntryLimit = kArchiveEntryLimit;
    }

    // The cover as extracted into a fresh file; "" when the call gave 0.
    std::string cover(const std::wstring& archive, int mode = kComicsMode)
    {
        std::string bytes;
        EXPECT_TRUE(WriteFileBytes(coverFile, ""));
        int type = ProbeArchiveType(archive.c_str());
        int result = (type == kArchiveRar        ? ExtractRarCover
                      : type == kArchiveSevenZip ? ExtractSevenZipCover
                      : type == kArchiveTar      ? ExtractTarCover
                                                 : ExtractZipCover)(archive.c_str(), coverFile.c_str(), mode);
        // The library removes what it could not finish.
        if (FileExists(coverFile)) {
            EXPECT_FALSE(GetFileAttributesW(coverFile.c_str()) & FILE_ATTRIBUTE_READONLY) << "cannot be deleted";
            ReadFileBytes(coverFile, &bytes);
            EXPECT_TRUE(DeleteFileW(coverFile.c_str()));
        }
        writtenSize = (long long)bytes.size();
        return result == 1 ? bytes : "";
    }

    std::wstring boxTexts()
    {
        std::wstring texts;
        for (const RecordedBox& box : RecordedBoxes()) texts += box.text.substr(box.text.rfind(L'\n') + 1) + L";";
        ClearRecordedBoxes();
        return texts;
    }

    std::string page(const wchar_t* name)
    {
        std::string bytes;
        EXPECT_TRUE(ReadFileBytes(ArchivePath(name), &bytes));
        return bytes;
    }
};

TEST_F(ArchiveCover, StoredRarArchivesGiveTheChosenEntry)
{
    // Pages in both formats, solid and not, and broken headers, are the
    // end-to-end table's; these rows are about names and indexes.
    const struct {
        RarArchive archive;
        int mode;
        std::string cover;
        std::wstring boxes;
    } rows[] = {
        {{kRar4, true, false, {{L"Vol 1.jpg", "A"}, {L"Vol 1/01.jpg", "B"}}}, kComicsMode, "B", L""},
        {{kRar5, false, false, {{L"x.jpg", "A"}, {L"p.jpg", "B"}, {L"P.JPG", "C"}}}, kComicsMode, "B", L""},
        {{kRar5, false, false, {{L"a.jpg", "", true}, {L"b.jpg", "B"}}}, kComicsMode, "B", L""},
        {{kRar5, false, true, {{L"b.jpg", "B"}, {L"a.jpg", "A"}}}, kComicsMode, "A", L"File header broken;"},
        {{kRar5, false, false, {{L"readme.txt", "A"}}}, kComicsMode, "", L""},
        {{kRar4, false, false, {}}, kComicsMode, "", L""},
    };
    std::wstring path = dir.path + L"stored.rar";
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteFileBytes(path, StoredRar(row.archive)));
        EXPECT_EQ(row.cover, cover(path, row.mode)) << testing::PrintToString(row.cover);
        EXPECT_EQ(row.boxes, boxTexts());
    }
}

// Compressed, solid, unicode-named and split archives from libarchive's
// tests, some entries renamed to picture names; the library checks what it
// unpacks, so the size tells the entry. (Encrypted ones and a missing
// volume are the end-to-end table's.)
TEST_F(ArchiveCover, RealRarArchivesGiveTheChosenEntryWhole)
{
    const struct {
        const wchar_t* file;
        long long size; // of the cover, 0 when there is none
        const wchar_t* boxes;
    } rows[] = {
        {L"rar4.rar", 20111, L""},
        {L"rar5.rar", 4096, L""}, // a read-only entry
        {L"rar5-solid.rar", 4096, L""},
        {L"unicode.rar", 16, L""},
        {L"broken.rar", 20111, L"File header broken;"},
        {L"multivolume\\test.part1.rar", 20111, L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.size, (long long)cover(ArchivePath(row.file)).size()) << Utf8(row.file);
        EXPECT_EQ(row.boxes, boxTexts()) << Utf8(row.file);
    }
}

TEST_F(ArchiveCover, ZipNamesMethodsAndDamage)
{
    const std::string red = page(L"red.jpg");
    for (const wchar_t* file : {L"methods.cbz", L"cjk.cbz", L"unflagged.cbz", L"dotdot.cbz"})
        EXPECT_TRUE(red == cover(ArchivePath(file))) << Utf8(file);
    EXPECT_TRUE(page(L"red.png") == cover(ArchivePath(L"zip64.cbz")));
    for (const wchar_t* none : {L"bzip2-cover.cbz", L"badcrc.cbz"}) EXPECT_EQ("", cover(ArchivePath(none))) << Utf8(none);
    EXPECT_EQ(L"", boxTexts());
}

// 7-Zip archives made by 7zz, tar archives by Python and books, against
// the page each must give (scripts/make-archives tells how each is made).
TEST_F(ArchiveCover, SevenZipTarAndBookArchivesGiveTheirCoverOrNothing)
{
    const struct {
        const wchar_t* file;
        int type;
        const wchar_t* page; // nullptr: no cover
    } rows[] = {
        {L"solid.cb7", kArchiveSevenZip, L"red.jpg"},
        {L"nonsolid.cb7", kArchiveSevenZip, L"red.jpg"},
        {L"lzma.cb7", kArchiveSevenZip, L"red.jpg"},
        {L"copy.cb7", kArchiveSevenZip, L"red.jpg"},
        {L"delta.cb7", kArchiveSevenZip, L"red.jpg"},
        {L"lie.cb7", kArchiveSevenZip, L"red.jpg"}, // 4 GiB declared dictionary
        {L"ppmd.cb7", kArchiveSevenZip, nullptr},
        {L"encrypted.cb7", kArchiveSevenZip, nullptr},
        {L"encrypted-head.cb7", kArchiveSevenZip, nullptr},
        {L"badcrc.cb7", kArchiveSevenZip, nullptr},
        {L"bomb.cb7", kArchiveSevenZip, nullptr},
        {L"comic.cbt", kArchiveTar, L"red.jpg"}, // links and a folder sort first
        {L"gnu.cbt", kArchiveTar, L"red.jpg"},
        {L"pax.cbt", kArchiveTar, L"red.jpg"},
        {L"ustar.cbt", kArchiveTar, L"red.jpg"},
        {L"book3.epub", kArchiveZip, L"red.jpg"},
        {L"book2.epub", kArchiveZip, L"red.jpg"},
        {L"badopf.epub", kArchiveZip, L"red.jpg"}, // the album choice
        {L"nomimetype.epub", kArchiveZip, L"red.jpg"}, // a book by its container alone
    };
    for (const auto& row : rows) {
        std::wstring path = ArchivePath(row.file);
        EXPECT_EQ(row.type, ProbeArchiveType(path.c_str())) << Utf8(row.file);
        EXPECT_TRUE((row.page ? page(row.page) : "") == cover(path)) << Utf8(row.file);
    }
    EXPECT_EQ(L"", boxTexts());
}

// What comes before the cover in a solid block is unpacked to be passed,
// and counted; stored bytes are passed over unread. Entries are counted
// as listed, the link, folder and pages of comic.cbt included.
TEST_F(ArchiveCover, SolidBlocksAndListingsStayWithinTheirBudgets)
{
    const long long before = (long long)(page(L"green.jpg").size() + page(L"blue.jpg").size());
    const struct {
        const wchar_t* file;
        long long* limit;
        long long allowed; // the least that still gives the cover
    } rows[] = {
        {L"solid.cb7", &gUnpackBeforeCoverLimit, before},
        {L"lzma.cb7", &gUnpackBeforeCoverLimit, before},
        {L"copy.cb7", &gUnpackBeforeCoverLimit, 0},
    };
    for (const auto& row : rows) {
        *row.limit = row.allowed;
        EXPECT_TRUE(page(L"red.jpg") == cover(ArchivePath(row.file))) << Utf8(row.file);
        if (row.allowed == 0) continue;
        *row.limit = row.allowed - 1;
        EXPECT_EQ("", cover(ArchivePath(row.file))) << Utf8(row.file);
    }
    gUnpackBeforeCoverLimit = kUnpackBeforeCoverLimit;
    const struct {
        const wchar_t* file;
        long entries;
    } listings[] = {{L"solid.cb7", 4}, {L"comic.cbt", 6}};
    for (const auto& l : listings) {
        gArchiveEntryLimit = l.entries;
        EXPECT_TRUE(page(L"red.jpg") == cover(ArchivePath(l.file))) << Utf8(l.file);
        gArchiveEntryLimit = l.entries - 1;
        EXPECT_EQ("", cover(ArchivePath(l.file))) << Utf8(l.file);
    }
}

// One tar header and its data, as tools write them and as they should not.
struct TarPart {
    std::string name, data;
    char type;
    std::string size; // the raw size field, when not the octal of data's size
    bool badSum;      // a checksum one off
    bool signedSum;   // the checksum of old tools, over signed bytes
    TarPart(std::string n, std::string d, char t = '0', std::string s = "", bool bad = false, bool sign = false)
        : name(n), data(d), type(t), size(s), badSum(bad), signedSum(sign)
    {
    }
};

std::string tarBytes(const std::vector<TarPart>& parts)
{
    std::string out;
    for (const TarPart& part : parts) {
        std::string header(512, '\0');
        header.replace(0, part.name.size(), part.name);
        char field[16];
        snprintf(field, sizeof field, "%011o", (unsigned)part.data.size());
        std::string size = part.size.empty() ? std::string(field, 12) : part.size;
        header.replace(124, size.size(), size);
        header[156] = part.type;
        header.replace(257, 8, std::string("ustar\0" "00", 8));
        header.replace(148, 8, std::string(8, ' '));
        long sum = part.badSum ? 1 : 0;
        for (char c : header) sum += part.signedSum ? (long)(signed char)c : (long)(unsigned char)c;
        snprintf(field, sizeof field, "%06lo", sum);
        header.replace(148, 7, std::string(field, 7));
        out += header + part.data + std::string((512 - part.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

// "LEN key=value\n", LEN counting itself.
std::string paxRecord(const std::string& key, const std::string& value)
{
    std::string text = " " + key + "=" + value + "\n";
    size_t length = text.size() + 1;
    while (std::to_string(length).size() + text.size() != length) ++length;
    return std::to_string(length) + text;
}

TEST_F(ArchiveCover, TarHeadersAreReadWithinTheirFieldsAndTheFile)
{
    const std::string base256Size = std::string("\x80", 1) + std::string(10, '\0') + "\x01";
    const struct {
        std::vector<TarPart> parts;
        std::string cover;
    } rows[] = {
        // Sizes: base-256, octal between spaces, and fields that cannot be
        // right end the walk with what was chosen before
        {{{"b.jpg", "G", '0', base256Size}, {"a.jpg", "R"}}, "R"},
        {{{"b.jpg", "G", '0', std::string("     1 \0", 8)}, {"a.jpg", "R"}}, "R"},
        {{{"b.jpg", "G"}, {"a.jpg", "R", '0', "77777777777"}}, "G"},
        {{{"b.jpg", "G"}, {"a.jpg", "R", '0', std::string("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xfe", 12)}},
         "G"},
        {{{"b.jpg", "G"}, {"a.jpg", "R", '0', "", true}}, "G"},
        {{{"\xc3\xa9.jpg", "R", '0', "", false, true}}, "R"},
        // pax records: other keys keep the ustar name; a damaged block
        // leaves the next entry without one
        {{{"p", paxRecord("mtime", "1") + paxRecord("path", "a.jpg"), 'x'}, {"z.jpg", "R"}, {"b.jpg", "G"}}, "R"},
        {{{"p", paxRecord("mtime", "1"), 'x'}, {"a.jpg", "R"}, {"b.jpg", "G"}}, "R"},
        {{{"p", "99 path=a.jpg\n", 'x'}, {"a.jpg", "R"}, {"b.jpg", "G"}}, "G"},
        // Not covers: an empty entry, a device; a name starting like a ZIP
        {{{"a.jpg", ""}, {"b.jpg", "G"}}, ""},
        {{{"a.jpg", "R", '3'}, {"b.jpg", "G"}}, "G"},
        {{{"PK 01.jpg", "R"}}, "R"},
    };
    std::wstring path = dir.path + L"made.cbt";
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        ASSERT_TRUE(WriteFileBytes(path, tarBytes(rows[i].parts)));
        EXPECT_EQ(rows[i].cover, cover(path)) << "row " << i;
    }
}

// Counted as written: declared sizes can lie.
TEST_F(ArchiveCover, ACoverBeyondTheBoundIsRefusedBeforeItIsWrittenWhole)
{
    const long long red = (long long)page(L"red.jpg").size();
    const struct {
        const wchar_t* file;
        long long size;
    } covers[] = {{L"rar4.rar", 20111},
                  {L"comic.cbz", (long long)page(L"red.png").size()},
                  {L"solid.cb7", red},
                  {L"comic.cbt", red},
                  {L"book3.epub", red}};
    for (const auto& c : covers) {
        gCoverByteLimit = c.size;
        EXPECT_EQ(c.size, (long long)cover(ArchivePath(c.file)).size()) << Utf8(c.file);
        gCoverByteLimit = c.size - 1;
        EXPECT_EQ("", cover(ArchivePath(c.file))) << Utf8(c.file);
        EXPECT_LT(writtenSize, c.size) << Utf8(c.file);
    }
    EXPECT_EQ(L"", boxTexts());
}

// What a solid archive unpacks before its cover, and how many entries a
// listing may have, stop at their bounds; entries a non-solid archive
// passes over cost nothing and count nothing.
TEST_F(ArchiveCover, SolidPagesBeforeTheCoverAndEntriesCountAgainstTheirBounds)
{
    const std::string page(600, 'p');
    const struct {
        RarArchive archive;
        long long unpackLimit;
        long entryLimit;
        std::string cover;
    } rows[] = {
        {{kRar5, true, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, 1200, kArchiveEntryLimit, "A"},
        {{kRar5, true, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, 1199, kArchiveEntryLimit, ""},
        {{kRar4, true, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, 1199, kArchiveEntryLimit, ""},
        {{kRar5, false, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, 1, kArchiveEntryLimit, "A"},
        {{kRar5, true, false, {{L"a.jpg", "A"}, {L"1.txt", page}, {L"2.txt", page}}}, 0, kArchiveEntryLimit, "A"},
        {{kRar5, false, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, kUnpackBeforeCoverLimit, 3, "A"},
        {{kRar5, false, false, {{L"1.txt", page}, {L"2.txt", page}, {L"a.jpg", "A"}}}, kUnpackBeforeCoverLimit, 2, ""},
    };
    std::wstring path = dir.path + L"budget.rar";
    for (const auto& row : rows) {
        gUnpackBeforeCoverLimit = row.unpackLimit;
        gArchiveEntryLimit = row.entryLimit;
        ASSERT_TRUE(WriteFileBytes(path, StoredRar(row.archive)));
        EXPECT_EQ(row.cover, cover(path)) << row.unpackLimit << ", " << row.entryLimit;
    }
    gArchiveEntryLimit = 3; // comic.cbz has four entries
    EXPECT_EQ("", cover(ArchivePath(L"comic.cbz")));
    EXPECT_EQ(L"", boxTexts());
}

// A host with a window has no console; one whose output is a pipe that
// nobody reads would block on it once it is full.
TEST(PrintRarError, WritesItsTextToAFileButNeverToAPipe)
{
    ScratchDir dir(L"stdout");
    std::wstring path = dir.path + L"out.txt";
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    HANDLE readEnd = NULL, writeEnd = NULL;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, NULL, 0));
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    PrintRarError(ERAR_EOPEN);
    PrintRarError(99);
    PrintRarError(ERAR_BAD_DATA);
    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    PrintRarError(ERAR_EOPEN);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(file);
    DWORD waiting = 1;
    EXPECT_TRUE(PeekNamedPipe(readEnd, NULL, 0, NULL, &waiting, NULL));
    EXPECT_EQ(0u, waiting);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    std::string text;
    ReadFileBytes(path, &text);
    EXPECT_EQ("Volume open errorCRC error", text);
}

} // namespace
