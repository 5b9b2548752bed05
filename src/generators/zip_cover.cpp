// The cover of a ZIP-based archive through minizip's unzip layer, opened
// with its wide-character file functions so that any archive path opens.
#include <wchar.h>

#include <minizip/unzip.h>
// After unzip.h, which brings the zlib macros it uses.
#include <minizip/iowin32.h>

#include "generators/archive_cover.h"
#include "generators/cover_choice.h"
#include "generators/epub_cover.h"

enum { kZipNameBytes = 4 * kEntryNameChars, kZipChunkBytes = 64 * 1024, kZipUtf8Flag = 0x800, kZipEncrypted = 1 };

static bool isSeparator(wchar_t c)
{
    return c == L'/' || c == L'\\';
}

// Names written by careless or hostile tools: a drive, leading separators
// and everything up to a parent-directory step are dropped, as an
// extractor would. The name only takes part in the choice; the cover is
// always written to the caller's own file.
static void cleanName(wchar_t* name)
{
    wchar_t* start = name;
    if (start[0] && start[1] == L':') start += 2;
    for (wchar_t* p = start; *p; ++p) {
        bool parentStep = p[0] == L'.' && p[1] == L'.' && (p == start || isSeparator(p[-1])) &&
                          (p[2] == 0 || isSeparator(p[2]));
        if (parentStep) start = p + 2;
    }
    while (isSeparator(*start)) ++start;
    wmemmove(name, start, wcslen(start) + 1);
}

// UTF-8 when flagged so; names without the flag are UTF-8 from most tools
// today and in the system's OEM code page from the others, as Windows'
// own ZIP folders read them; only the latter fail as UTF-8.
static bool entryName(unzFile zip, wchar_t* name, unz_file_info64* info)
{
    char raw[kZipNameBytes];
    if (unzGetCurrentFileInfo64(zip, info, raw, sizeof raw, NULL, 0, NULL, 0) != UNZ_OK) return false;
    if (info->size_filename >= sizeof raw) return false;
    raw[info->size_filename] = 0;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw, -1, name, kEntryNameChars) <= 0 &&
        MultiByteToWideChar((info->flag & kZipUtf8Flag) ? CP_UTF8 : CP_OEMCP, 0, raw, -1, name, kEntryNameChars) <= 0)
        return false;
    cleanName(name);
    return true;
}

// Copies the current entry in chunks, counting what is actually written:
// the sizes an archive declares can lie. The reader hands out methods it
// cannot unpack as they are stored, so only those it can are taken.
static bool extractCurrent(unzFile zip, const unz_file_info64& info, const wchar_t* destination)
{
    static char chunk[kZipChunkBytes];
    long long written = 0;
    bool ok = false;
    bool entryOpen = false;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) goto done;
    file = CreateFileW(destination, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    entryOpen = unzOpenCurrentFile(zip) == UNZ_OK;
    if (!entryOpen) goto done;
    for (;;) {
        int n = unzReadCurrentFile(zip, chunk, sizeof chunk);
        if (n <= 0) {
            ok = n == 0 && written > 0;
            break;
        }
        DWORD put = 0;
        if (written + n > gCoverByteLimit || !WriteFile(file, chunk, (DWORD)n, &put, NULL) || put != (DWORD)n) break;
        written += n;
    }
done:
    // Closing the entry reports a CRC mismatch once all of it was read.
    if (entryOpen && unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}

static bool isBookContainer(const wchar_t* name)
{
    wchar_t wanted[] = L"" kBookContainer;
    for (size_t i = 0;; ++i) {
        wchar_t c = name[i] == L'\\' ? L'/' : name[i];
        if (c != wanted[i]) return false;
        if (!c) return true;
    }
}

static bool extractBookCover(unzFile zip, const wchar_t* destination)
{
    unz_file_info64 info;
    return LocateBookCover(zip) && unzGetCurrentFileInfo64(zip, &info, NULL, 0, NULL, 0, NULL, 0) == UNZ_OK &&
           !(info.flag & kZipEncrypted) && extractCurrent(zip, info, destination);
}

int ExtractZipCover(const wchar_t* archive, const wchar_t* destination, int mode)
{
    int result = 0;
    zlib_filefunc64_def files;
    unz_global_info64 global;
    unz64_file_pos chosenPosition = {};
    unz_file_info64 chosenInfo = {};
    bool book = false, container = false;
    CoverChoice choice;
    StartCoverChoice(&choice);
    fill_win32_filefunc64W(&files);
    unzFile zip = unzOpen2_64(archive, &files);
    if (!zip) return 0;
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK || global.number_entry == 0) goto done;
    // A book names its own cover; its pictures are chosen from only when
    // it names none or that one cannot be had.
    book = StartsLikeBook(zip);
    if (book && extractBookCover(zip, destination)) {
        result = 1;
        goto done;
    }

    for (int index = 0, status = unzGoToFirstFile(zip); status == UNZ_OK; ++index, status = unzGoToNextFile(zip)) {
        wchar_t name[kEntryNameChars];
        if (index >= gArchiveEntryLimit) goto done;
        unz_file_info64 info;
        if (!entryName(zip, name, &info)) continue;
        if (!book && isBookContainer(name)) container = true;
        bool stop = ConsiderCoverEntry(&choice, name, index, mode);
        if (choice.bestIndex == index) {
            unzGetFilePos64(zip, &chosenPosition);
            chosenInfo = info;
        }
        if (stop) break;
    }
    // A book whose first entry is not "mimetype" is told by its container,
    // seen on the way: other archives pay nothing for it. (An album whose
    // listing stopped early at a picture named as a cover keeps that one.)
    if (container && extractBookCover(zip, destination)) {
        result = 1;
        goto done;
    }
    // An encrypted cover would need a password, and nobody may be asked.
    if (choice.bestIndex < 0 || (chosenInfo.flag & kZipEncrypted)) goto done;
    if (unzGoToFilePos64(zip, &chosenPosition) != UNZ_OK) goto done;
    result = extractCurrent(zip, chosenInfo, destination) ? 1 : 0;
done:
    unzClose(zip);
    return result;
}
