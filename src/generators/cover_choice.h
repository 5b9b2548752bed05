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

struct CoverChoice {
    wchar_t bestName[kEntryNameChars];
    int bestIndex; // -1 while no candidate was seen
};
void StartCoverChoice(CoverChoice* choice);
// Offers the entry stored at `index` (every entry counts, candidate or not).
// Returns true when the scan may stop: in albums mode an image whose base
// name holds a cover word is the cover at once.
bool ConsiderCoverEntry(CoverChoice* choice, const wchar_t* name, int index, int mode);
