// Which entry of a comic or album archive is its cover: names alone decide,
// the same way for every container format.
#pragma once

enum { kComicsMode = 0, kAlbumsMode = 1 };
// Entry names, terminator included (the longest a RAR header carries).
enum { kEntryNameChars = 1024 };
enum { kImageNone = 0, kImageJpeg = 1, kImagePng = 2, kImageGif = 3, kImageTga = 4 };

// Image kind from the last four characters of the name, 0 when none.
int ClassifyImageName(const wchar_t* name);
// -1, 0 or 1 in the archive name order: ASCII letters fold to upper case,
// and at the first difference "/", "\", space, ".", "_" and the end of a
// name sort before every other character, which sorts by its code.
int CompareNames(const wchar_t* a, const wchar_t* b);

// Whether the name ends in a picture format that is newer or rarer than
// the four kinds above (".webp", ".bmp", ".avif", ".jxl", ".jfif"): covers
// of archives that hold no picture of those four kinds.
bool IsOtherImageName(const wchar_t* name);
// Entries that archivers on macOS add beside the real files: anything
// under a "__MACOSX" folder and "._" resource forks. Not pictures.
bool IsMacJunkName(const wchar_t* name);

// One way of choosing: the first stored entry whose base name holds a
// cover word (albums mode), else the entry first in the name order.
struct CoverPick {
    wchar_t name[kEntryNameChars];
    int index;      // -1 while no candidate was seen
    bool byWord;    // taken for a cover word: nothing replaces it
};
struct CoverChoice {
    // The cover as chosen so far: a picture of the four kinds when the
    // archive has one, else one of the other formats.
    wchar_t bestName[kEntryNameChars];
    int bestIndex; // -1 while no candidate was seen
    CoverPick usual, other;
};
void StartCoverChoice(CoverChoice* choice);
// Offers the entry stored at `index` (every entry counts, candidate or not).
// Returns true when the scan may stop: in albums mode a picture of the
// four kinds whose base name holds a cover word is the cover at once.
bool ConsiderCoverEntry(CoverChoice* choice, const wchar_t* name, int index, int mode);
