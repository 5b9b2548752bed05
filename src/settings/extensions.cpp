#include "settings/extensions.h"

#include <stddef.h>

#include "common/strpos.h"

ExtensionTable gVideoExtensions;
ExtensionTable gAudioExtensions;
ExtensionTable gImageExtensions;
ExtensionTable gComicExtensions;
ExtensionTable gAlbumExtensions;
ExtensionTable gListerExcludedExtensions;

// Longest list text looked at; a settings value never holds more.
enum { kListChars = 4095 };

// Users write lists by hand ("mp4, m p 4,,avi, "), so only the comma
// separates and plain spaces vanish wherever they stand. An entry too long
// for its slot, or beyond the last slot, is dropped whole: a cut entry
// would match an extension the user never named.
void ParseExtensionList(const wchar_t* list, ExtensionTable* table)
{
    if (!table) return;
    int count = 0;
    size_t length = 0;   // characters of the entry being collected
    bool tooLong = false;

    size_t n = 0;
    while (list && n < kListChars && list[n]) ++n;

    for (size_t i = 0; i <= n; ++i) {
        bool slotFree = count < kExtensionSlots;
        if (i < n && list[i] != L',') {
            if (list[i] == L' ') continue;
            if (length + 1 < kExtensionChars) {
                if (slotFree) table->entries[count][length] = list[i];
                ++length;
            } else {
                tooLong = true;
            }
            continue;
        }
        if (length > 0 && !tooLong && slotFree) {
            table->entries[count][length] = 0;
            ++count;
        }
        length = 0;
        tooLong = false;
    }
    table->count = count;
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b) return false;
    size_t i = 0;
    for (; a[i] && b[i]; ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return a[i] == 0 && b[i] == 0;
}

bool IsExtensionInList(const wchar_t* extension, const ExtensionTable* table)
{
    if (!extension || !table) return false;
    int count = table->count;
    if (count > kExtensionSlots) count = kExtensionSlots;
    for (int i = 0; i < count; ++i) {
        if (EqualsNoCase(extension, table->entries[i])) return true;
    }
    return false;
}

// The table order decides when a user puts one extension into two lists.
int ClassifyMediaKind(const wchar_t* extension)
{
    if (!extension || !extension[0]) return kMediaNone;
    if (IsExtensionInList(extension, &gVideoExtensions)) return kMediaVideo;
    if (IsExtensionInList(extension, &gAudioExtensions)) return kMediaAudio;
    if (IsExtensionInList(extension, &gImageExtensions)) return kMediaImage;
    if (IsExtensionInList(extension, &gComicExtensions)) return kMediaComic;
    if (IsExtensionInList(extension, &gAlbumExtensions)) return kMediaAlbum;
    return kMediaNone;
}

// Some files (pdf, djvu) make fine thumbnails but are better left to the
// Lister's other plug-ins, so the exclusion wins over every kind list.
int ClassifyListerMediaKind(const wchar_t* extension)
{
    if (!extension || !extension[0]) return kMediaNone;
    if (IsExtensionInList(extension, &gListerExcludedExtensions)) return kMediaNone;
    return ClassifyMediaKind(extension);
}
