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
        bool rar = ProbeArchiveType(archive.c_str()) == kArchiveRar;
        int result = (rar ? ExtractRarCover : ExtractZipCover)(archive.c_str(), coverFile.c_str(), mode);
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

// Counted as written: declared sizes can lie.
TEST_F(ArchiveCover, ACoverBeyondTheBoundIsRefusedBeforeItIsWrittenWhole)
{
    const struct {
        const wchar_t* file;
        long long size;
    } covers[] = {{L"rar4.rar", 20111}, {L"comic.cbz", (long long)page(L"red.png").size()}};
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
