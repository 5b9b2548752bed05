#include "generators/cover_choice.h"

#include <wchar.h>

#include "common/strpos.h"

static wchar_t foldUpper(wchar_t c)
{
    return (c >= L'a' && c <= L'z') ? (wchar_t)(c - L'a' + L'A') : c;
}

// Separators sort first, so that a page in a subfolder comes before a
// sibling whose name merely continues; the end of a name comes before any
// ordinary character, so that "a" sorts before "ab".
static unsigned rankOf(wchar_t c)
{
    switch (c) {
    case L'/': return 0;
    case L'\\': return 1;
    case L' ': return 2;
    case L'.': return 3;
    case L'_': return 4;
    case 0: return 5;
    default: return 6 + (unsigned)c;
    }
}

int CompareNames(const wchar_t* a, const wchar_t* b)
{
    for (size_t i = 0;; ++i) {
        wchar_t x = foldUpper(a[i]), y = foldUpper(b[i]);
        if (x != y) return rankOf(x) < rankOf(y) ? -1 : 1;
        if (x == 0) return 0;
    }
}

int ClassifyImageName(const wchar_t* name)
{
    static const struct {
        const wchar_t* ending;
        int kind;
    } kEndings[] = {
        {L".jpg", kImageJpeg}, {L"jpeg", kImageJpeg}, {L".png", kImagePng}, {L".gif", kImageGif}, {L".tga", kImageTga},
    };
    size_t length = wcslen(name);
    if (length < 4) return kImageNone;
    for (const auto& e : kEndings)
        if (CompareNames(name + length - 4, e.ending) == 0) return e.kind;
    return kImageNone;
}

// Whether the part after the last separator holds `word`, ASCII case folded.
static bool baseNameContains(const wchar_t* name, const wchar_t* word)
{
    const wchar_t* base = name;
    for (const wchar_t* p = name; *p; ++p)
        if (*p == L'/' || *p == L'\\') base = p + 1;
    return *base && strpos(base, word, false, 1) > 0;
}

void StartCoverChoice(CoverChoice* choice)
{
    choice->bestName[0] = 0xFFFF;
    choice->bestName[1] = 0;
    choice->bestIndex = -1;
}

static void takeEntry(CoverChoice* choice, const wchar_t* name, int index)
{
    wcsncpy(choice->bestName, name, kEntryNameChars - 1);
    choice->bestName[kEntryNameChars - 1] = 0;
    choice->bestIndex = index;
}

bool ConsiderCoverEntry(CoverChoice* choice, const wchar_t* name, int index, int mode)
{
    static const wchar_t* const kCoverWords[] = {L"cover", L"folder", L"preview"};
    if (ClassifyImageName(name) == kImageNone) return false;
    if (mode == kAlbumsMode) {
        for (const wchar_t* word : kCoverWords) {
            if (baseNameContains(name, word)) {
                takeEntry(choice, name, index);
                return true;
            }
        }
    }
    // Only a strictly smaller name replaces the best: among equal names the
    // first one stored stays.
    if (CompareNames(name, choice->bestName) < 0) takeEntry(choice, name, index);
    return false;
}
