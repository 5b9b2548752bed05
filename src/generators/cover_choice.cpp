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

static const wchar_t* baseNameOf(const wchar_t* name)
{
    const wchar_t* base = name;
    for (const wchar_t* p = name; *p; ++p)
        if (*p == L'/' || *p == L'\\') base = p + 1;
    return base;
}

// Whether the part after the last separator holds `word`, ASCII case folded.
static bool baseNameContains(const wchar_t* name, const wchar_t* word)
{
    const wchar_t* base = baseNameOf(name);
    return *base && strpos(base, word, false, 1) > 0;
}

static bool endsWith(const wchar_t* name, const wchar_t* ending)
{
    size_t length = wcslen(name), tail = wcslen(ending);
    return length >= tail && CompareNames(name + length - tail, ending) == 0;
}

bool IsOtherImageName(const wchar_t* name)
{
    static const wchar_t* const kEndings[] = {L".webp", L".bmp", L".avif", L".jxl", L".jfif"};
    for (const wchar_t* ending : kEndings)
        if (endsWith(name, ending)) return true;
    return false;
}

bool IsMacJunkName(const wchar_t* name)
{
    static const wchar_t kFolder[] = L"__macosx"; // folded
    const wchar_t* base = baseNameOf(name);
    if (base[0] == L'.' && base[1] == L'_') return true;
    // A component at a time, so that "__MACOSX2/" stays a real folder.
    for (const wchar_t* part = name; part < base;) {
        size_t i = 0;
        while (kFolder[i] && FoldAscii(part[i]) == kFolder[i]) ++i;
        if (!kFolder[i] && (part[i] == L'/' || part[i] == L'\\')) return true;
        while (*part != L'/' && *part != L'\\') ++part;
        ++part;
    }
    return false;
}

static void startPick(CoverPick* pick)
{
    pick->name[0] = 0xFFFF;
    pick->name[1] = 0;
    pick->index = -1;
    pick->byWord = false;
}

void StartCoverChoice(CoverChoice* choice)
{
    startPick(&choice->usual);
    startPick(&choice->other);
    choice->bestName[0] = 0xFFFF;
    choice->bestName[1] = 0;
    choice->bestIndex = -1;
}

static void takeEntry(CoverPick* pick, const wchar_t* name, int index, bool byWord)
{
    wcsncpy(pick->name, name, kEntryNameChars - 1);
    pick->name[kEntryNameChars - 1] = 0;
    pick->index = index;
    pick->byWord = byWord;
}

// Returns true when the entry was taken for a cover word.
static bool offer(CoverPick* pick, const wchar_t* name, int index, int mode)
{
    static const wchar_t* const kCoverWords[] = {L"cover", L"folder", L"preview"};
    if (pick->byWord) return false;
    if (mode == kAlbumsMode) {
        for (const wchar_t* word : kCoverWords) {
            if (baseNameContains(name, word)) {
                takeEntry(pick, name, index, true);
                return true;
            }
        }
    }
    // Only a strictly smaller name replaces the best: among equal names the
    // first one stored stays.
    if (CompareNames(name, pick->name) < 0) takeEntry(pick, name, index, false);
    return false;
}

bool ConsiderCoverEntry(CoverChoice* choice, const wchar_t* name, int index, int mode)
{
    if (IsMacJunkName(name)) return false;
    bool stop = false;
    if (ClassifyImageName(name) != kImageNone) {
        stop = offer(&choice->usual, name, index, mode);
    } else if (IsOtherImageName(name)) {
        // Never ends the scan: a picture of the usual kinds stored later
        // still wins, since the converter may lack the newer formats.
        offer(&choice->other, name, index, mode);
    } else {
        return false;
    }
    const CoverPick& best = choice->usual.index >= 0 ? choice->usual : choice->other;
    wcscpy(choice->bestName, best.name);
    choice->bestIndex = best.index;
    return stop;
}
