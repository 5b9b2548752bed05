// The thumbnail of a picture: the image converter fits it into the cell
// and writes a JPEG. Archives come here too, with their extracted cover as
// the picture and the archive as the source whose stream keeps the result.
#include "generators/image_thumbnail.h"

#include <stdlib.h>
#include <time.h>
#include <wchar.h>

#include "cache/stream_cache.h"
#include "common/format.h"
#include "common/messages.h"
#include "generators/generators.h"
#include "generators/tool_files.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/settings.h"
#include "tools/runner.h"
#include "tools/tool_check.h"

enum {
    kTempNameChars = 260,
    kMaxFileToLoad = 260,
    // Longer output paths are not handed to the converter: it writes a
    // short temporary file that is copied there afterwards.
    kMaxConverterOutput = 250,
    kNameAttempts = 51,
};

bool MakeUniqueTempName(wchar_t* destination, const wchar_t* prefix, const wchar_t* extension)
{
    static unsigned sCalls = 0;
    wchar_t folder[kTempNameChars];
    wchar_t name[kTempNameChars];
    DWORD length = GetTempPathW(259, folder);
    if (length == 0 || length >= 259) return false;
    // The number has at most 4 digits (below 9800, plus 50), so the name
    // then stays within 259 characters.
    if (length + wcslen(prefix) + wcslen(extension) + 5 >= 260) return false;

    // Seeded from the clock's second alone, two calls within one second (in
    // this process or another one) would draw the same numbers.
    srand((unsigned)time(NULL) ^ (GetCurrentProcessId() << 16) ^ (++sCalls * 2654435761u));
    for (int i = 0; i < kNameAttempts; ++i) {
        int a = rand() % 100;
        int b = rand() % 99;
        int n = a * b;
        if (n < 100) n *= rand() % 99;
        if (FormatWideUnbounded(name, kTempNameChars, L"%ls%ls%d.%ls", folder, prefix, n + i, extension) < 0)
            return false;
        // Made here, so that the name is ours: a name only found free could
        // be drawn again (the long-output route draws two) or be taken by
        // another program before the converter writes to it.
        HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            // Shorter than 260 characters, as tested above.
            return CopyWide(destination, kTempNameChars, name) != 0;
        }
        // Another file of that name, or one being deleted: try another.
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
    }
    return false;
}

bool BuildImageArguments(wchar_t* out, const wchar_t* input, int width, int height, const wchar_t* midParams,
                         const wchar_t* output)
{
    return FormatWide(out, L"\"%ls\" /resize=(%.0f,%.0f) %ls /convert=\"%ls\"", input, (double)width, (double)height,
                      midParams, output) >= 0;
}

int irfanviewGetImageThumbnail(const wchar_t* source, wchar_t* fileOutput, const wchar_t* fileToLoad)
{
    int made = 0;
    bool timesCaptured = false;
    wchar_t szOutLimit[kTempNameChars];
    wchar_t szArguments[kFormatWideChars];
    const wchar_t* input = NULL;
    const wchar_t* output = NULL;
    szOutLimit[0] = 0;
    if (!fileToLoad) fileToLoad = L"";

    if (!RequireTool(szIrfanviewPath)) return 0;
    if (wcslen(fileToLoad) > kMaxFileToLoad) {
        ErrorBox(fileToLoad, L"irfanviewGetImageThumbnail -> FileToLoadTMP) > _MAX_PATH");
        return 0;
    }
    if (wcslen(fileOutput) > kMaxConverterOutput) {
        if (!MakeUniqueTempName(szOutLimit, L"vsl", L"jpg")) return 0;
        ErrorBox(fileOutput, L"OutLimit > 250");
        if (bDebug) DebugOnlyBoxInt((int)wcslen(fileOutput));
    }
    if (gUseADS) {
        if (!captureSourceTimes(source)) goto done;
        timesCaptured = true;
    } else {
        // The caller's temporary file gives way to a name ending in .jpg,
        // under which the caller reads and deletes the result.
        DeleteFileW(fileOutput);
        if (!MakeUniqueTempName(fileOutput, L"vsl", L"jpg")) goto done;
    }

    input = fileToLoad[0] ? fileToLoad : source;
    output = szOutLimit[0] ? szOutLimit : fileOutput;
    // Settings texts too long for the argument text make no thumbnail
    // rather than a cut command.
    if (!BuildImageArguments(szArguments, input, gThumbWidth, gThumbHeight, szIrfanviewMidInputParam, output))
        goto done;
    emptyOutput(fileOutput);
    {
        // Only the picture's and the output's names decide whether the
        // interpreter could expand them; the settings' texts may use it.
        const wchar_t* const filePaths[] = {input, output};
        // What a run ended at the time limit wrote is part of a picture at best.
        if (RunThroughShell(szIrfanviewPath, szArguments, filePaths) == kToolTimedOut) {
            emptyOutput(output);
            goto done;
        }
    }

    if (szOutLimit[0]) {
        if (bDebug) DebugOnlyBoxWchars(szArguments);
        if (!CopyFileW(szOutLimit, fileOutput, FALSE)) {
            if (bDebug) DebugOnlyErrorBox(fileOutput, L"debug only: Could not copy OutLimitFileOutput into FileOutput");
            goto done;
        }
    }
    if (gUseADS) writeCacheRecord();
    // Judged before the times go back, so nothing touches the source after.
    made = getFileSize64(fileOutput) > 0 ? 1 : 0;
done:
    // Every end after the capture puts the times back; a thumbnail whose
    // times could not be put back fails.
    if (timesCaptured && !restoreSourceTimes(source)) made = 0;
    if (szOutLimit[0]) DeleteFileW(szOutLimit);
    return made;
}
