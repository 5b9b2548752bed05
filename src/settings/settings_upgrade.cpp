#include "settings/settings_upgrade.h"

#include <wchar.h>

#include "common/format.h"
#include "settings/extensions.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "settings/settings_readers.h"

// Users edit their lists, so newer formats are added one by one instead of
// replacing a list: whatever they added, removed or moved stays.
const ListAddition kListAdditions[kListAdditionCount] = {
    // Phone photos and today's web pictures, which the image converter
    // reads with its plug-ins.
    {20261208, szImagesExtensionList, L"avif, heic, heif, jfif, jxl"},
    // Matroska audio and audiobooks.
    {20261208, szAudiosExtensionList, L"m4b, mka"},
    // Comics in 7-Zip and tar archives.
    {20261208, szComicsExtensionList, L"cb7, cbt"},
};

struct ExtensionList {
    wchar_t* text;
    ExtensionTable* table;
};

// In the order that classification tries them.
static const ExtensionList kExtensionLists[6] = {
    {szVideosExtensionList, &gVideoExtensions}, {szAudiosExtensionList, &gAudioExtensions},
    {szImagesExtensionList, &gImageExtensions}, {szComicsExtensionList, &gComicExtensions},
    {szAlbumsExtensionList, &gAlbumExtensions}, {szListerExclusionList, &gListerExcludedExtensions},
};

void ParseExtensionLists()
{
    for (const ExtensionList& list : kExtensionLists) ParseExtensionList(list.text, list.table);
}

static bool inAnyList(const wchar_t* extension)
{
    for (const ExtensionList& list : kExtensionLists)
        if (IsExtensionInList(extension, list.table)) return true;
    return false;
}

static const SettingKey* keyOfList(const wchar_t* text)
{
    for (const SettingKey& key : gSettingKeys)
        if (key.text == text) return &key;
    return NULL;
}

static const ExtensionList* listOf(const wchar_t* text)
{
    for (const ExtensionList& list : kExtensionLists)
        if (list.text == text) return &list;
    return NULL;
}

// Appends ", <extension>" when the result fits the key's variable; the
// table follows at once, so that a later row sees the extension.
static bool appendExtension(const SettingKey* key, const ExtensionList* list, const wchar_t* extension)
{
    wchar_t text[kSettingsChars];
    if (!CopyWide(text, kSettingsChars, list->text)) return false;
    if (!AppendWide(text, kSettingsChars, L", ") || !AppendWide(text, kSettingsChars, extension)) return false;
    if (wcslen(text) >= key->capacity) return false;
    CopyWide(list->text, key->capacity, text);
    ParseExtensionList(list->text, list->table);
    return true;
}

// A row's extensions are ours, written "a, b, c".
static const wchar_t* nextExtension(const wchar_t* at, wchar_t* extension)
{
    size_t n = 0;
    while (*at == L',' || *at == L' ') ++at;
    while (*at && *at != L',' && *at != L' ') {
        if (n + 1 < kExtensionChars) extension[n++] = *at;
        ++at;
    }
    extension[n] = 0;
    return at;
}

// Returns true when the list changed.
static bool addRow(const ListAddition& row)
{
    const SettingKey* key = keyOfList(row.list);
    const ExtensionList* list = listOf(row.list);
    if (!key || !list || !list->text[0]) return false;
    bool changed = false;
    wchar_t extension[kExtensionChars];
    for (const wchar_t* at = nextExtension(row.extensions, extension); extension[0];
         at = nextExtension(at, extension)) {
        if (inAnyList(extension)) continue;
        changed = appendExtension(key, list, extension) || changed;
    }
    return changed;
}

void AddNewListExtensions(const wchar_t* iniPath, double storedVersion)
{
    for (const ListAddition& row : kListAdditions) {
        if (!(storedVersion < row.version) || !addRow(row)) continue;
        IniWrite(iniPath, keyOfList(row.list)->name, row.list);
    }
}
