#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/extensions.h"
#include "settings/settings_keys.h"
#include "settings/settings_upgrade.h"

namespace {

std::vector<std::wstring> entriesOf(const ExtensionTable& table)
{
    std::vector<std::wstring> entries;
    for (int i = 0; i < table.count; ++i) entries.push_back(table.entries[i]);
    return entries;
}

std::vector<std::wstring> parsed(const std::wstring& list)
{
    static ExtensionTable table; // too big for the stack of a test
    ParseExtensionList(list.c_str(), &table);
    return entriesOf(table);
}

const wchar_t* defaultOf(const wchar_t* key)
{
    for (const SettingKey& setting : gSettingKeys) {
        if (std::wstring(setting.name) == key) return setting.defaultValue;
    }
    ADD_FAILURE() << "no such key";
    return L"";
}

// The tables as the built-in settings fill them.
void loadDefaultTables()
{
    ParseExtensionList(defaultOf(L"Videos extension list (chars)"), &gVideoExtensions);
    ParseExtensionList(defaultOf(L"Audios extension list (chars)"), &gAudioExtensions);
    ParseExtensionList(defaultOf(L"Images extension list (chars)"), &gImageExtensions);
    ParseExtensionList(defaultOf(L"Comics extension list (chars)"), &gComicExtensions);
    ParseExtensionList(defaultOf(L"Albums extension list (chars)"), &gAlbumExtensions);
    ParseExtensionList(defaultOf(L"Lister extension exclusion(!) list (chars)"), &gListerExcludedExtensions);
}

} // namespace

TEST(ExtensionListParsing, SplitsOnCommasAndDropsSpaces)
{
    struct Case {
        const wchar_t* list;
        std::vector<std::wstring> entries;
    } cases[] = {
        {L"mp4,,avi, ", {L"mp4", L"avi"}},
        {L"m p 4", {L"mp4"}},
        {L" mkv , webm ,", {L"mkv", L"webm"}},
        {L"", {}},
        {L" , ,  ", {}},
        {L",", {}},
        {L"AVI, MOV", {L"AVI", L"MOV"}},
        {L".avi", {L".avi"}},
        {L"a\tb, c.d", {L"a\tb", L"c.d"}}, // only the plain space goes
        {L"视频, Ёж", {L"视频", L"Ёж"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parsed(c.list), c.entries) << "list: " << ::testing::PrintToString(std::wstring(c.list));
    }
}

TEST(ExtensionListParsing, DropsEntriesTooLongForASlot)
{
    std::wstring longest(kExtensionChars - 1, L'x');
    std::wstring tooLong(kExtensionChars, L'y');
    // Spaces do not count: they are removed before the entry is stored.
    std::wstring spaced = std::wstring(kExtensionChars - 1, L'z') + L"     ";

    EXPECT_EQ(parsed(L"a," + longest + L",b"), (std::vector<std::wstring>{L"a", longest, L"b"}));
    EXPECT_EQ(parsed(L"a," + tooLong + L",b"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(parsed(tooLong + tooLong), (std::vector<std::wstring>{}));
    EXPECT_EQ(parsed(L"a," + spaced), (std::vector<std::wstring>{L"a", std::wstring(kExtensionChars - 1, L'z')}));
}

TEST(ExtensionListParsing, KeepsNoMoreEntriesThanSlots)
{
    std::wstring list;
    for (int i = 0; i < kExtensionSlots + 20; ++i) list += L"e" + std::to_wstring(i) + L",";
    std::vector<std::wstring> entries = parsed(list);
    ASSERT_EQ(entries.size(), (size_t)kExtensionSlots);
    EXPECT_EQ(entries.front(), L"e0");
    EXPECT_EQ(entries.back(), L"e" + std::to_wstring(kExtensionSlots - 1));
}

TEST(ExtensionListParsing, ShorterListHidesOlderEntries)
{
    static ExtensionTable table;
    ParseExtensionList(L"avi, mkv, mov", &table);
    ParseExtensionList(L"mp4", &table);
    EXPECT_TRUE(IsExtensionInList(L"mp4", &table));
    EXPECT_FALSE(IsExtensionInList(L"mkv", &table));
    EXPECT_FALSE(IsExtensionInList(L"mov", &table));
    ParseExtensionList(nullptr, &table);
    EXPECT_EQ(table.count, 0);
}

TEST(ExtensionCompare, FoldsOnlyAsciiLetters)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool equal;
    } cases[] = {
        {L"avi", L"AVI", true},   {L"Mp4", L"mP4", true},  {L"", L"", true},
        {L"avi", L"avix", false}, {L"avix", L"avi", false}, {L"avi", L"", false},
        {L"[", L"{", false},      {L"@", L"`", false},      // one bit apart, but not letters
        {L"é", L"é", true},       {L"é", L"É", false},      {L"ж", L"Ж", false},
        {L"jpg", L"jpe", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal)
            << ::testing::PrintToString(std::wstring(c.a)) << " vs " << ::testing::PrintToString(std::wstring(c.b));
    }
}

TEST(MediaClassification, BuiltInListsHaveTheirSizesAndDoNotOverlap)
{
    loadDefaultTables();
    EXPECT_EQ(gVideoExtensions.count, 96);
    EXPECT_EQ(gAudioExtensions.count, 74);
    EXPECT_EQ(gImageExtensions.count, 108);
    EXPECT_EQ(gComicExtensions.count, 4);
    EXPECT_EQ(gAlbumExtensions.count, 6);
    EXPECT_EQ(gListerExcludedExtensions.count, 2);

    const ExtensionTable* kinds[] = {&gVideoExtensions, &gAudioExtensions, &gImageExtensions, &gComicExtensions,
                                     &gAlbumExtensions};
    for (int k = 0; k < 5; ++k) {
        for (int i = 0; i < kinds[k]->count; ++i) {
            // The first table holding an extension must be its own.
            EXPECT_EQ(ClassifyMediaKind(kinds[k]->entries[i]), k + 1)
                << ::testing::PrintToString(std::wstring(kinds[k]->entries[i]));
        }
    }
}

// What an upgrade adds to a user's list, a new user has from the start.
TEST(MediaClassification, NewerFormatsStandInTheirBuiltInLists)
{
    for (const ListAddition& row : kListAdditions) {
        EXPECT_LE(row.version, kCurrentSettingsVersion);
        std::vector<std::wstring> builtIn;
        for (const SettingKey& key : gSettingKeys)
            if (key.text == row.list) builtIn = parsed(key.defaultValue);
        for (const std::wstring& extension : parsed(row.extensions))
            EXPECT_NE(std::find(builtIn.begin(), builtIn.end(), extension), builtIn.end()) << extension.c_str();
    }
}

TEST(MediaClassification, ThumbnailAndListerKinds)
{
    loadDefaultTables();
    struct Case {
        const wchar_t* extension;
        int thumbnail;
        int lister;
    } cases[] = {
        {L"avi", kMediaVideo, kMediaVideo},  {L"MKV", kMediaVideo, kMediaVideo}, {L"mp3", kMediaAudio, kMediaAudio},
        {L"Flac", kMediaAudio, kMediaAudio}, {L"jpg", kMediaImage, kMediaImage}, {L"cbz", kMediaComic, kMediaComic},
        {L"zip", kMediaAlbum, kMediaAlbum},  {L"gz", kMediaNone, kMediaNone},    {L"txt", kMediaNone, kMediaNone},
        {L"", kMediaNone, kMediaNone},       {L".avi", kMediaNone, kMediaNone},
        // Images that the Lister leaves to others.
        {L"PDF", kMediaImage, kMediaNone},   {L"djvu", kMediaImage, kMediaNone},
    };
    for (const Case& c : cases) {
        std::string name = ::testing::PrintToString(std::wstring(c.extension));
        EXPECT_EQ(ClassifyMediaKind(c.extension), c.thumbnail) << name;
        EXPECT_EQ(ClassifyListerMediaKind(c.extension), c.lister) << name;
    }
}

TEST(MediaClassification, UserListsDecideInTableOrder)
{
    loadDefaultTables();
    // One extension in two lists: the earlier table wins.
    ParseExtensionList(L"xyz, AVI", &gAudioExtensions);
    ParseExtensionList(L"XYZ", &gAlbumExtensions);
    EXPECT_EQ(ClassifyMediaKind(L"xyz"), kMediaAudio);
    EXPECT_EQ(ClassifyMediaKind(L"avi"), kMediaVideo);

    // An empty exclusion list excludes nothing; an empty kind list holds nothing.
    ParseExtensionList(L"", &gListerExcludedExtensions);
    EXPECT_EQ(ClassifyListerMediaKind(L"pdf"), kMediaImage);
    ParseExtensionList(L"", &gImageExtensions);
    EXPECT_EQ(ClassifyMediaKind(L"pdf"), kMediaNone);

    // Letters beyond ASCII match only themselves.
    ParseExtensionList(L"视频, Ёж", &gVideoExtensions);
    EXPECT_EQ(ClassifyMediaKind(L"视频"), kMediaVideo);
    EXPECT_EQ(ClassifyMediaKind(L"Ёж"), kMediaVideo);
    EXPECT_EQ(ClassifyMediaKind(L"ёж"), kMediaNone);
    EXPECT_EQ(ClassifyMediaKind(L"ЁЖ"), kMediaNone);

    // An extension excluded from the Lister is refused whatever its kind.
    ParseExtensionList(L"视频", &gListerExcludedExtensions);
    EXPECT_EQ(ClassifyListerMediaKind(L"视频"), kMediaNone);
    EXPECT_EQ(ClassifyMediaKind(L"视频"), kMediaVideo);
    loadDefaultTables();
}
