#include "host/cache_tool.h"

#include <windows.h>

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "cache/stream_names.h"

enum {
    // The plug-in keeps no thumbnail in a file whose path is longer: it
    // refuses such paths. Longer ones met while walking are passed over.
    kPathChars = MAX_PATH,
    kStreamPathChars = MAX_PATH + 64,
    kKeyListChars = 32768,
    kRecordChars = 4096,
    kCellChars = 32,
    kLineChars = 2 * MAX_PATH + 256,
};

// Attributes that a file's basic information may set; the others (such as
// compression) are the volume's business.
static const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct CacheRun {
    const CacheCommand* command;
    int filesLooked;
    int filesFound; // holding streams of the plug-in (list) or cleared of them (clear)
    int thumbnails;
    long long bytes;
    bool trouble;
};

// One file while its streams are visited.
struct FileVisit {
    CacheRun* run;
    const wchar_t* file;
    wchar_t keys[kKeyListChars]; // the record's keys, each ended by a null, the list by another
    bool shown; // list: the file's line is printed
    bool failed;
    int streams;
    int thumbnails;
    long long bytes;
};

typedef void (*StreamVisitor)(FileVisit* visit, const wchar_t* stream, const wchar_t* cell, long long bytes);

// Console windows get the characters as they are, files and pipes UTF-8.
static void report(DWORD standardHandle, const wchar_t* format, ...)
{
    wchar_t line[kLineChars];
    char utf8[4 * kLineChars];
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(line, kLineChars, format, args);
    va_end(args);
    if (n < 0 || n >= kLineChars) {
        line[kLineChars - 1] = 0;
        n = (int)wcslen(line);
    }
    HANDLE output = GetStdHandle(standardHandle);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, line, (DWORD)n, &written, NULL);
        return;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, n, utf8, (int)sizeof utf8, NULL, NULL);
    if (bytes > 0) WriteFile(output, utf8, (DWORD)bytes, &written, NULL);
}

static const wchar_t* plural(int count)
{
    return count == 1 ? L"" : L"s";
}

static bool joinPath(wchar_t* out, const wchar_t* first, const wchar_t* second, size_t capacity)
{
    size_t a = wcslen(first), b = wcslen(second);
    if (a + b >= capacity) return false;
    wmemcpy(out, first, a);
    wmemcpy(out + a, second, b + 1);
    return true;
}

// Size of a stream of `file`, -1 when it is not there. Opening for its
// attributes alone leaves the file's times alone.
static long long streamBytes(const wchar_t* file, const wchar_t* stream)
{
    wchar_t path[kStreamPathChars];
    if (!joinPath(path, file, stream, kStreamPathChars)) return -1;
    HANDLE handle = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    LARGE_INTEGER size;
    long long bytes = GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
    CloseHandle(handle);
    return bytes;
}

// Whether `name` is a thumbnail stream as the plug-in names them, and the
// cell size its name carries ("" for the single thumbnail, whose size its
// record tells). Only names the plug-in's own format gives back count.
static bool thumbnailStreamName(const wchar_t* name, wchar_t* cell)
{
    cell[0] = 0;
    if (wcscmp(name, kSingleThumbnailStream) == 0) return true;
    if (wcsncmp(name, L":p", 2) != 0) return false;
    wchar_t* end = NULL;
    long width = wcstol(name + 2, &end, 10);
    if (*end != L'x') return false;
    long height = wcstol(end + 1, &end, 10);
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return false;
    wchar_t again[kCellChars];
    _snwprintf(again, kCellChars, kSizedThumbnailStreamFormat, (int)width, (int)height);
    again[kCellChars - 1] = 0;
    if (wcscmp(again, name) != 0) return false;
    _snwprintf(cell, kCellChars, L"%dx%d", (int)width, (int)height);
    cell[kCellChars - 1] = 0;
    return true;
}

static bool inKeyList(const wchar_t* keys, const wchar_t* name)
{
    for (const wchar_t* key = keys; *key; key += wcslen(key) + 1)
        if (wcscmp(key, name) == 0) return true;
    return false;
}

// The record's keys: the names of the thumbnails it describes. A record past
// the plug-in's bound is none of its own and is not read: the profile
// functions would read all of it.
static void readRecordKeys(FileVisit* visit)
{
    wchar_t path[kStreamPathChars];
    visit->keys[0] = visit->keys[1] = 0;
    long long bytes = streamBytes(visit->file, kCacheRecordStream);
    if (bytes < 0 || bytes > kCacheRecordMaxBytes) return;
    if (!joinPath(path, visit->file, kCacheRecordStream, kStreamPathChars)) return;
    GetPrivateProfileStringW(kCacheRecordSection, NULL, L"", visit->keys, kKeyListChars, path);
}

// The cell size a single thumbnail was made for: the third field of its
// record, "" when the record has none.
static void recordCellSize(const wchar_t* file, const wchar_t* key, wchar_t* cell)
{
    static wchar_t record[kRecordChars];
    const wchar_t separator[] = {kCacheRecordSeparator, 0};
    wchar_t path[kStreamPathChars];
    cell[0] = 0;
    if (!joinPath(path, file, kCacheRecordStream, kStreamPathChars)) return;
    GetPrivateProfileStringW(kCacheRecordSection, key, L"", record, kRecordChars, path);
    const wchar_t* field = wcschr(record, kCacheRecordSeparator);
    if (field) field = wcschr(field + 1, kCacheRecordSeparator);
    if (!field) return;
    ++field;
    size_t n = wcscspn(field, separator);
    if (n >= kCellChars) return;
    wmemcpy(cell, field, n);
    cell[n] = 0;
}

static void offerStream(FileVisit* visit, StreamVisitor visitor, const wchar_t* stream, const wchar_t* cell)
{
    long long bytes = streamBytes(visit->file, stream);
    if (bytes >= 0) visitor(visit, stream, cell, bytes);
}

// Every stream of the plug-in's that the file holds, the record last: the
// thumbnails its record names, the single thumbnail, and thumbnails the
// volume lists (where it can) that the record does not name. Without
// `readRecord` the record's content is not read, so nothing touches the
// file's last-access time.
static void visitPluginStreams(FileVisit* visit, StreamVisitor visitor, bool readRecord)
{
    wchar_t cell[kCellChars];
    visit->keys[0] = visit->keys[1] = 0;
    if (readRecord) readRecordKeys(visit);
    for (const wchar_t* key = visit->keys; *key; key += wcslen(key) + 1) {
        if (!thumbnailStreamName(key, cell)) continue;
        if (!cell[0]) recordCellSize(visit->file, key, cell);
        offerStream(visit, visitor, key, cell);
    }
    // Without a record its size is unknown.
    if (!inKeyList(visit->keys, kSingleThumbnailStream)) offerStream(visit, visitor, kSingleThumbnailStream, L"");

    WIN32_FIND_STREAM_DATA found;
    HANDLE search = FindFirstStreamW(visit->file, FindStreamInfoStandard, &found, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            // Listed as ":name:$DATA"; the main stream is "::$DATA".
            wchar_t* type = wcsstr(found.cStreamName + 1, L":$DATA");
            if (!type) continue;
            *type = 0;
            if (wcscmp(found.cStreamName, kSingleThumbnailStream) == 0 || inKeyList(visit->keys, found.cStreamName))
                continue;
            if (thumbnailStreamName(found.cStreamName, cell)) offerStream(visit, visitor, found.cStreamName, cell);
        } while (FindNextStreamW(search, &found));
        FindClose(search);
    }
    offerStream(visit, visitor, kCacheRecordStream, L"");
}

static void countStream(FileVisit* visit, const wchar_t* stream, const wchar_t*, long long bytes)
{
    visit->streams += 1;
    if (wcscmp(stream, kCacheRecordStream) != 0) visit->thumbnails += 1;
    visit->bytes += bytes;
}

static void listStream(FileVisit* visit, const wchar_t* stream, const wchar_t* cell, long long bytes)
{
    if (!visit->shown) report(STD_OUTPUT_HANDLE, L"%ls\n", visit->file);
    visit->shown = true;
    bool record = wcscmp(stream, kCacheRecordStream) == 0;
    const wchar_t* kind = record ? (bytes > kCacheRecordMaxBytes ? L"damaged" : L"record") : (cell[0] ? cell : L"?");
    report(STD_OUTPUT_HANDLE, L"    %-16ls %-11ls %lld bytes\n", stream, kind, bytes);
    countStream(visit, stream, cell, bytes);
}

static void clearStream(FileVisit* visit, const wchar_t* stream, const wchar_t* cell, long long bytes)
{
    wchar_t path[kStreamPathChars];
    if (!joinPath(path, visit->file, stream, kStreamPathChars) || !DeleteFileW(path)) {
        report(STD_ERROR_HANDLE, L"vistrel-host: cannot remove %ls%ls (error %lu)\n", visit->file, stream,
               GetLastError());
        visit->failed = true;
        return;
    }
    countStream(visit, stream, cell, bytes);
}

// Basic information that changes only the attributes; 0 would leave them.
static FILE_BASIC_INFO attributesOnly(DWORD attributes)
{
    FILE_BASIC_INFO info;
    memset(&info, 0, sizeof info);
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return info;
}

// The file is held against other writers from the reading of its times to
// their putting back, as the plug-in does: a save in between would get
// the old time back. Removing a stream stamps the file's times (and may
// set its archive bit) on NTFS, and a read-only file keeps its streams, so
// that attribute is lifted for the removal; whatever changed is put back
// through the hold.
static void clearFile(FileVisit* visit)
{
    HANDLE hold = INVALID_HANDLE_VALUE;
    FILE_BASIC_INFO kept;

    visitPluginStreams(visit, countStream, false);
    if (visit->streams == 0) return;
    visit->streams = visit->thumbnails = 0;
    visit->bytes = 0;

    hold = CreateFileW(visit->file, GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (hold == INVALID_HANDLE_VALUE) {
        report(STD_ERROR_HANDLE, L"vistrel-host: %ls is left as it is: it is open in another program or cannot be "
                                 L"opened (error %lu)\n",
               visit->file, GetLastError());
        visit->failed = true;
        return;
    }
    if (!GetFileInformationByHandleEx(hold, FileBasicInfo, &kept, sizeof kept)) {
        report(STD_ERROR_HANDLE, L"vistrel-host: %ls is left as it is: its times cannot be read (error %lu)\n",
               visit->file, GetLastError());
        visit->failed = true;
        goto done;
    }
    if (kept.FileAttributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO writable = attributesOnly(kept.FileAttributes & kSettableAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (!SetFileInformationByHandle(hold, FileBasicInfo, &writable, sizeof writable)) {
            report(STD_ERROR_HANDLE, L"vistrel-host: %ls is left as it is: it is read-only and that cannot be lifted "
                                     L"(error %lu)\n",
                   visit->file, GetLastError());
            visit->failed = true;
            goto done;
        }
    }

    visitPluginStreams(visit, clearStream, true);

    {
        // Times still as they were are not written again: a file system
        // that keeps finer times than 100 ns would lose their last digits.
        FILE_BASIC_INFO now, restore = kept;
        bool known = GetFileInformationByHandleEx(hold, FileBasicInfo, &now, sizeof now) != FALSE;
        bool timesKept = known && now.CreationTime.QuadPart == kept.CreationTime.QuadPart &&
                         now.LastAccessTime.QuadPart == kept.LastAccessTime.QuadPart &&
                         now.LastWriteTime.QuadPart == kept.LastWriteTime.QuadPart;
        bool attributesKept = known && ((now.FileAttributes ^ kept.FileAttributes) & kSettableAttributes) == 0;
        restore.ChangeTime.QuadPart = 0; // kept by the file system
        if (timesKept) restore.CreationTime.QuadPart = restore.LastAccessTime.QuadPart = restore.LastWriteTime.QuadPart = 0;
        restore.FileAttributes =
            attributesKept ? 0 : attributesOnly(kept.FileAttributes & kSettableAttributes).FileAttributes;
        if ((!timesKept || !attributesKept) &&
            !SetFileInformationByHandle(hold, FileBasicInfo, &restore, sizeof restore)) {
            report(STD_ERROR_HANDLE, L"vistrel-host: the times%ls of %ls could not be put back (error %lu); set "
                                     L"them by hand\n",
                   attributesKept ? L"" : L" and attributes", visit->file, GetLastError());
            visit->failed = true;
        }
    }
    if (visit->streams > 0)
        report(STD_OUTPUT_HANDLE, L"cleared %ls: %d thumbnail%ls, %lld bytes\n", visit->file, visit->thumbnails,
               plural(visit->thumbnails), visit->bytes);
done:
    CloseHandle(hold);
}

static void visitFile(CacheRun* run, const wchar_t* file)
{
    // The key list is large; one visit at a time.
    static FileVisit visit;
    visit.run = run;
    visit.file = file;
    visit.shown = visit.failed = false;
    visit.streams = visit.thumbnails = 0;
    visit.bytes = 0;
    run->filesLooked += 1;
    if (run->command->clear)
        clearFile(&visit);
    else
        visitPluginStreams(&visit, listStream, true);
    if (visit.streams > 0) run->filesFound += 1;
    run->thumbnails += visit.thumbnails;
    run->bytes += visit.bytes;
    if (visit.failed) run->trouble = true;
}

static bool isDots(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Names in `folder` matching `pattern`: files are visited, folders walked
// when `descend`. Links are not followed, to folders (so no folder is seen
// twice and no walk goes round in circles) nor to files, which may lie
// outside what was named.
static void visitMatches(CacheRun* run, const wchar_t* folder, const wchar_t* pattern, bool descend, int* matches)
{
    wchar_t search[kPathChars], path[kPathChars];
    WIN32_FIND_DATAW found;
    if (!joinPath(search, folder, pattern, kPathChars)) return;
    HANDLE find = FindFirstFileW(search, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (isDots(found.cFileName) || !joinPath(path, folder, found.cFileName, kPathChars)) continue;
        *matches += 1;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            visitFile(run, path);
        } else if (descend) {
            int inner = 0;
            if (joinPath(search, path, L"\\", kPathChars)) visitMatches(run, search, L"*", true, &inner);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

static void visitArgument(CacheRun* run, const wchar_t* argument)
{
    wchar_t folder[kPathChars];
    int matches = 0;
    size_t length = wcslen(argument);
    if (length == 0 || length >= kPathChars) {
        report(STD_ERROR_HANDLE, L"vistrel-host: %ls: no such file or folder\n", argument);
        run->trouble = true;
        return;
    }
    // The folder part ends after the last separator (or a drive's colon).
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i)
        if (argument[i] == L'\\' || argument[i] == L'/' || argument[i] == L':') nameStart = i + 1;
    if (wcspbrk(argument + nameStart, L"*?")) {
        wmemcpy(folder, argument, nameStart);
        folder[nameStart] = 0;
        visitMatches(run, folder, argument + nameStart, run->command->recursive, &matches);
        if (matches == 0) {
            report(STD_ERROR_HANDLE, L"vistrel-host: %ls: nothing matches\n", argument);
            run->trouble = true;
        }
        return;
    }
    DWORD attributes = GetFileAttributesW(argument);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        report(STD_ERROR_HANDLE, L"vistrel-host: %ls: no such file or folder\n", argument);
        run->trouble = true;
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        visitFile(run, argument);
    } else {
        bool separated = wcschr(L"\\/:", argument[length - 1]) != NULL;
        if (joinPath(folder, argument, separated ? L"" : L"\\", kPathChars))
            visitMatches(run, folder, L"*", run->command->recursive, &matches);
    }
}

int RunCacheCommand(const CacheCommand* command)
{
    CacheRun run;
    memset(&run, 0, sizeof run);
    run.command = command;
    for (int i = 0; i < command->pathCount; ++i) visitArgument(&run, command->paths[i]);
    if (command->clear)
        report(STD_OUTPUT_HANDLE, L"%d of %d files cleared: %d thumbnail%ls and the records removed, %lld bytes\n",
               run.filesFound, run.filesLooked, run.thumbnails, plural(run.thumbnails), run.bytes);
    else
        report(STD_OUTPUT_HANDLE, L"%d of %d files hold thumbnails: %d thumbnail%ls, %lld bytes with the records\n",
               run.filesFound, run.filesLooked, run.thumbnails, plural(run.thumbnails), run.bytes);
    return run.trouble ? kCacheTrouble : kCacheDone;
}
