#include "common/messages.h"

#include <string.h>
#include <wchar.h>

#include "common/format.h"
#include "common/hash.h"

// OK only, no icon; topmost because the host's window may cover a box that
// has no owner, and an unseen modal box would look like a hung host.
static const UINT kBoxStyle = MB_OK | MB_TOPMOST | MB_SETFOREGROUND;

// The production presenter: modal, topmost, ownerless MessageBoxW.
static int PresentMessageBox(const wchar_t* text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(NULL, text, caption, style);
}

MessagePresenter gMessagePresenter = PresentMessageBox;

// Boxes shown since the last ForgetShownBoxes, kept as hashes of caption and
// text: a box text is up to 2048 characters, a hash is 8 bytes. When more
// distinct boxes come than there are slots, the oldest is forgotten; such
// a flood is no longer one failure repeated.
enum { kShownBoxSlots = 64 };
static unsigned long long gShownBoxes[kShownBoxSlots];
static int gShownBoxCount;
static int gShownBoxNext;

// True when the box is new, and remembers it; `text` is what tells boxes
// apart.
static bool rememberBox(const wchar_t* text, const wchar_t* caption)
{
    unsigned long long hash = HashText(HashText(kHashStart, caption ? caption : L""), text);
    for (int i = 0; i < gShownBoxCount; ++i) {
        if (gShownBoxes[i] == hash) return false;
    }
    gShownBoxes[gShownBoxNext] = hash;
    gShownBoxNext = (gShownBoxNext + 1) % kShownBoxSlots;
    if (gShownBoxCount < kShownBoxSlots) ++gShownBoxCount;
    return true;
}

void ForgetShownBoxes()
{
    gShownBoxCount = 0;
    gShownBoxNext = 0;
}

// Remembered before it is shown: the box's message loop lets the host call
// in again, and a call that meets the same failure must not stack a second
// box on the first.
static void present(const wchar_t* text, const wchar_t* caption, bool everyTime, const wchar_t* key = NULL)
{
    if (!everyTime && !rememberBox(key ? key : text, caption)) return;
    MessagePresenter presenter = gMessagePresenter ? gMessagePresenter : PresentMessageBox;
    presenter(text, caption, kBoxStyle);
}

// `key`, when given, replaces the whole text as what tells boxes apart.
static void showErrorBox(const wchar_t* subject, const wchar_t* message, bool everyTime, const wchar_t* key = NULL)
{
    wchar_t text[kErrorBoxChars];
    text[0] = 0;
    AppendWide(text, kErrorBoxChars, L"Error\n");
    AppendWide(text, kErrorBoxChars, subject ? subject : L"");
    AppendWide(text, kErrorBoxChars, L"\n\n");
    AppendWide(text, kErrorBoxChars, message ? message : L"");
    // No caption of our own: the platform's default one ("Error").
    present(text, NULL, everyTime, key);
}

static void showDebugBoxChars(const char* text, bool everyTime)
{
    char formatted[kDebugBoxBytes];
    FormatChars(formatted, "%s", text ? text : "");
    char narrow[kDebugBoxBytes];
    narrow[0] = 0;
    AppendChars(narrow, kDebugBoxBytes, "DEBUG char*: '");
    AppendChars(narrow, kDebugBoxBytes, formatted);
    AppendChars(narrow, kDebugBoxBytes, "'");
    // Shown as the system's ANSI text would be, through the one presenter.
    wchar_t wide[kDebugBoxBytes];
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide, kDebugBoxBytes) <= 0) wide[0] = 0;
    present(wide, L"debug", everyTime);
}

void ErrorBox(const wchar_t* subject, const wchar_t* message)
{
    showErrorBox(subject, message, false);
}

void ErrorBoxOncePerMessage(const wchar_t* subject, const wchar_t* message)
{
    // Kept apart from whole texts: a message alone cannot match a box text,
    // which always starts with "Error\n".
    showErrorBox(subject, message, false, message ? message : L"");
}

void DebugOnlyErrorBox(const wchar_t* subject, const wchar_t* message)
{
    showErrorBox(subject, message, true);
}

void DebugBoxChars(const char* text)
{
    showDebugBoxChars(text, false);
}

void DebugOnlyBoxChars(const char* text)
{
    showDebugBoxChars(text, true);
}

static void showDebugBoxWchars(const wchar_t* text, bool everyTime)
{
    wchar_t formatted[kDebugBoxWchars];
    FormatWideMid(formatted, L"%ls", text ? text : L"");
    wchar_t box[kDebugBoxWchars];
    box[0] = 0;
    AppendWide(box, kDebugBoxWchars, L"DEBUG WCHAR*: '");
    AppendWide(box, kDebugBoxWchars, formatted);
    AppendWide(box, kDebugBoxWchars, L"'");
    present(box, L"debug", everyTime);
}

static void showDebugBoxInt(int value, bool everyTime)
{
    wchar_t number[kDebugBoxWchars];
    FormatWideMid(number, L"%d", value);
    wchar_t box[kDebugBoxWchars];
    box[0] = 0;
    AppendWide(box, kDebugBoxWchars, L"DEBUG int: '");
    AppendWide(box, kDebugBoxWchars, number);
    AppendWide(box, kDebugBoxWchars, L"'");
    present(box, L"debug", everyTime);
}

void DebugBoxWchars(const wchar_t* text)
{
    showDebugBoxWchars(text, false);
}

void DebugOnlyBoxWchars(const wchar_t* text)
{
    showDebugBoxWchars(text, true);
}

void DebugBoxInt(int value)
{
    showDebugBoxInt(value, false);
}

void DebugOnlyBoxInt(int value)
{
    showDebugBoxInt(value, true);
}
