// The text side of running a tool: the interpreter command line, and the
// recognition of what the interpreter would do to it.
#include "tools/runner.h"

#include <wchar.h>

#include "common/format.h"
#include "common/strpos.h"

size_t BuildShellCommandLine(wchar_t* out, size_t capacity, const wchar_t* interpreter,
                             const wchar_t* programPath, const wchar_t* arguments)
{
    if (!interpreter) interpreter = L"";
    if (!programPath) programPath = L"";
    if (!arguments) arguments = L"";
    // /s strips the outermost pair of quotes, so the interpreter executes
    // the quoted program followed by the arguments whatever they contain.
    static const wchar_t kSwitches[] = L" /s /c \" ";
    static const wchar_t kClosing[] = L" \"";
    bool quoteProgram = strpos(programPath, L"\"", true, 1) != 1;

    size_t length = wcslen(interpreter) + wcslen(kSwitches) + wcslen(programPath) + (quoteProgram ? 2 : 0) + 1 +
                    wcslen(arguments) + wcslen(kClosing);
    if (!out || capacity == 0) return length;
    out[0] = 0;
    AppendWide(out, capacity, interpreter);
    AppendWide(out, capacity, kSwitches);
    if (quoteProgram) AppendWide(out, capacity, L"\"");
    AppendWide(out, capacity, programPath);
    if (quoteProgram) AppendWide(out, capacity, L"\"");
    AppendWide(out, capacity, L" ");
    AppendWide(out, capacity, arguments);
    AppendWide(out, capacity, kClosing);
    return length;
}

static bool holdsExpansion(const wchar_t* text)
{
    // '%' is expanded on every command line, '!' where delayed expansion is
    // switched on in the registry; neither can be escaped inside quotes.
    return text && (wcschr(text, L'%') || wcschr(text, L'!'));
}

bool NeedsDirectStart(const wchar_t* programPath, const wchar_t* const* filePaths, size_t filePathCount)
{
    if (holdsExpansion(programPath)) return true;
    for (size_t i = 0; filePaths && i < filePathCount; ++i) {
        if (holdsExpansion(filePaths[i])) return true;
    }
    return false;
}

// Whether the interpreter reads position `at` of `text` inside double
// quotes, having been inside them at its start as `inside` says: a quote
// toggles, and outside quotes a caret takes the next character, a quote
// too, as it is.
static bool quotedAt(const wchar_t* text, size_t at, bool inside)
{
    for (size_t i = 0; i < at && text[i]; ++i) {
        if (text[i] == L'"')
            inside = !inside;
        else if (!inside && text[i] == L'^' && text[i + 1])
            ++i;
    }
    return inside;
}

bool FilePathsStayQuoted(const wchar_t* programPath, const wchar_t* arguments, const wchar_t* const* filePaths,
                         size_t filePathCount)
{
    if (!programPath) programPath = L"";
    if (!arguments) arguments = L"";
    // The program as BuildShellCommandLine places it: in quotes of ours,
    // or as the settings quote it.
    bool quoteProgram = strpos(programPath, L"\"", true, 1) != 1;
    bool inside = quotedAt(programPath, wcslen(programPath), quoteProgram);
    if (quoteProgram) inside = !inside;
    for (size_t i = 0; filePaths && i < filePathCount; ++i) {
        const wchar_t* path = filePaths[i];
        if (!path || !path[0]) continue;
        for (const wchar_t* at = wcsstr(arguments, path); at; at = wcsstr(at + 1, path))
            if (!quotedAt(arguments, (size_t)(at - arguments), inside)) return false;
    }
    return true;
}

bool IsBatchFile(const wchar_t* programPath)
{
    if (!programPath) return false;
    // The file system drops trailing dots and blanks: "run.bat. " opens run.bat.
    size_t end = wcslen(programPath);
    while (end > 0 && wcschr(L"\" .\t", programPath[end - 1])) --end;
    static const wchar_t* const kBatchExtensions[] = {L".bat", L".cmd"};
    for (const wchar_t* extension : kBatchExtensions) {
        size_t length = wcslen(extension);
        if (end < length) continue;
        bool same = true;
        for (size_t i = 0; i < length && same; ++i) same = FoldAscii(programPath[end - length + i]) == extension[i];
        if (same) return true;
    }
    return false;
}

static bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool SplitStdoutRedirection(const wchar_t* arguments, wchar_t* command, wchar_t* stdoutPath, bool* append)
{
    if (!arguments) arguments = L"";
    stdoutPath[0] = 0;
    *append = false;
    if (!CopyWide(command, kCommandLineChars, arguments)) return false;

    // From the end: "path" (file names cannot hold quotes), then '>' or
    // ">>", each optionally preceded by blanks.
    size_t end = wcslen(arguments);
    while (end > 0 && isBlank(arguments[end - 1])) --end;
    if (end < 2 || arguments[end - 1] != L'"') return false;
    size_t open = end - 1;
    while (open > 0 && arguments[open - 1] != L'"') --open;
    if (open == 0) return false;
    size_t pathStart = open; // first character after the opening quote
    --open;
    size_t pathLength = end - 1 - pathStart;
    if (pathLength == 0 || pathLength >= kCommandLineChars) return false;

    size_t op = open;
    while (op > 0 && isBlank(arguments[op - 1])) --op;
    if (op == 0 || arguments[op - 1] != L'>') return false;
    --op;
    bool appending = op > 0 && arguments[op - 1] == L'>';
    if (appending) --op;

    // "1>" is standard output too; any other digit names another handle,
    // and "^>" is a literal '>', none of which this is meant to take over.
    if (op > 0 && arguments[op - 1] >= L'0' && arguments[op - 1] <= L'9') {
        if (arguments[op - 1] != L'1') return false;
        --op;
    }
    if (op > 0 && arguments[op - 1] == L'^') return false;
    // A '>' inside a quoted argument is text, not a redirection.
    size_t quotes = 0;
    for (size_t i = 0; i < op; ++i) quotes += arguments[i] == L'"';
    if (quotes % 2) return false;

    size_t commandLength = op;
    while (commandLength > 0 && isBlank(arguments[commandLength - 1])) --commandLength;
    command[commandLength] = 0;
    wmemcpy(stdoutPath, arguments + pathStart, pathLength);
    stdoutPath[pathLength] = 0;
    *append = appending;
    return true;
}
