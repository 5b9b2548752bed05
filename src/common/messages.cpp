#include "common/messages.h"

#include <string.h>
#include <wchar.h>

#include "common/format.h"

// OK only, no icon; topmost because the host's window may cover a box that
// has no owner, and an unseen modal box would look like a hung host.
static const UINT kBoxStyle = MB_OK | MB_TOPMOST | MB_SETFOREGROUND;

// The production presenter: modal, topmost, ownerless MessageBoxW.
static int PresentMessageBox(const wchar_t* text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(NULL, text, caption, style);
}

MessagePresenter gMessagePresenter = PresentMessageBox;

static void present(const wchar_t* text, const wchar_t* caption)
{
    MessagePresenter presenter = gMessagePresenter ? gMessagePresenter : PresentMessageBox;
    presenter(text, caption, kBoxStyle);
}

void ErrorBox(const wchar_t* subject, const wchar_t* message)
{
    wchar_t text[kErrorBoxChars];
    text[0] = 0;
    AppendWide(text, kErrorBoxChars, L"Error\n");
    AppendWide(text, kErrorBoxChars, subject ? subject : L"");
    AppendWide(text, kErrorBoxChars, L"\n\n");
    AppendWide(text, kErrorBoxChars, message ? message : L"");
    // No caption of our own: the platform's default one ("Error").
    present(text, NULL);
}

void DebugBoxChars(const char* text)
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
    present(wide, L"debug");
}

void DebugBoxWchars(const wchar_t* text)
{
    wchar_t formatted[kDebugBoxWchars];
    FormatWideMid(formatted, L"%ls", text ? text : L"");
    wchar_t box[kDebugBoxWchars];
    box[0] = 0;
    AppendWide(box, kDebugBoxWchars, L"DEBUG WCHAR*: '");
    AppendWide(box, kDebugBoxWchars, formatted);
    AppendWide(box, kDebugBoxWchars, L"'");
    present(box, L"debug");
}

void DebugBoxInt(int value)
{
    wchar_t number[kDebugBoxWchars];
    FormatWideMid(number, L"%d", value);
    wchar_t box[kDebugBoxWchars];
    box[0] = 0;
    AppendWide(box, kDebugBoxWchars, L"DEBUG int: '");
    AppendWide(box, kDebugBoxWchars, number);
    AppendWide(box, kDebugBoxWchars, L"'");
    present(box, L"debug");
}
