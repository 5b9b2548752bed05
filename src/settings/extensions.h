// Extension lists and the media kind they give a file.
#pragma once

enum MediaKind { kMediaNone = 0, kMediaVideo = 1, kMediaAudio = 2, kMediaImage = 3, kMediaComic = 4, kMediaAlbum = 5 };

enum { kExtensionSlots = 682, kExtensionChars = 128 };

struct ExtensionTable {
    wchar_t entries[kExtensionSlots][kExtensionChars];
    int count;
};

extern ExtensionTable gVideoExtensions;
extern ExtensionTable gAudioExtensions;
extern ExtensionTable gImageExtensions;
extern ExtensionTable gComicExtensions;
extern ExtensionTable gAlbumExtensions;
extern ExtensionTable gListerExcludedExtensions;

void ParseExtensionList(const wchar_t* list, ExtensionTable* table);
bool IsExtensionInList(const wchar_t* extension, const ExtensionTable* table);
bool EqualsNoCase(const wchar_t* a, const wchar_t* b);
// Media kind for a thumbnail request (the Lister exclusion is not consulted).
int ClassifyMediaKind(const wchar_t* extension);
// Media kind for a Lister open: excluded extensions are not handled.
int ClassifyListerMediaKind(const wchar_t* extension);
