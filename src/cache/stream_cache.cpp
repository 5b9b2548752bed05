#include "cache/stream_cache.h"

#include <fcntl.h>
#include <io.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <wchar.h>

#include "cache/profile_text.h"
#include "cache/stream_cache_testing.h"
#include "cache/stream_names.h"
#include "common/format.h"
#include "common/messages.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings.h"
#include "settings/settings_readers.h"

bool gUseADS = false;
bool gADSFailed = false;
DWORD gSavedAttributes = kNoSavedAttributes;
wchar_t gStreamName[kStreamNameChars];
wchar_t gCacheSignature[kSignatureChars];
wchar_t gFileThumbsCachedADS[kCachedAdsChars];
// The source's final path: the file whose streams and attributes we touch.
static wchar_t gRealPath[kRealPathChars];
// Its last-write time, read with its attributes when the request began.
static FILETIME gSourceWrite;

static const wchar_t kFileTimeError[] = L"\nError: Failed getting filetime from specified file:\n";
const wchar_t kTimeRestoreError[] =
    L"\nWarning : Unexpected event: Could not set back original time for specified file (you probably need to "
    L"restore it manually.. and contact author about this problem)!\n";

// The source's main stream, held open from the capture of its times until
// they are put back. It denies writing to everyone else: a program's save
// in between would otherwise get the old last-write time back from us, and
// backup and sync tools would then skip the change. Reading, renaming and
// deleting stay allowed. Sharing is decided per stream (NTFS keeps it with
// each stream, and on other systems our streams are files of their own),
// so the tools still write the thumbnail and record streams meanwhile.
static HANDLE gSourceHold = INVALID_HANDLE_VALUE;
// Times captured before a generator writes into the source's streams.
static FILETIME gKeptCreation, gKeptAccess, gKeptWrite;
static wchar_t gRecordTime[kRecordFieldChars];
static bool gRefuseTimeRestores;

// The ":cache.ini" stream, read once per request: the stored position and
// the record come from one read instead of a profile-function call each.
// A stream past the bound holds nothing for us (no record, no position); one
// that is not valid UTF-8 after a UTF-8 mark is left to those functions.
enum { kCacheIniBytes = kCacheRecordMaxBytes, kCacheIniUnread = -1, kCacheIniUndecoded = -2 };
static wchar_t gCacheIniText[kCacheIniBytes + 1];
static int gCacheIniLength = kCacheIniUnread;

void RefuseTimeRestoresForTests(bool refuse)
{
    gRefuseTimeRestores = refuse;
}

static void dropCache()
{
    gUseADS = false;
    gADSFailed = true;
}

// Sets gRealPath to the source's final path, or leaves it empty when that
// cannot be had. False when the source cannot be opened for reading.
static bool findRealPath(const wchar_t* source)
{
    wchar_t finalPath[kRealPathChars];
    gRealPath[0] = 0;
    HANDLE file = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD n = GetFinalPathNameByHandleW(file, finalPath, kRealPathChars, FILE_NAME_OPENED | VOLUME_NAME_DOS);
    // A count of 260 or more means the buffer was too small.
    if (n >= 1 && n <= 259 && wcslen(finalPath) == n) CopyWide(gRealPath, kRealPathChars, finalPath);
    CloseHandle(file);
    return true;
}

int prepareStreamCache(const wchar_t* source)
{
    WIN32_FILE_ATTRIBUTE_DATA facts;
    gCacheIniLength = kCacheIniUnread;
    // The one open of the source proves it readable, as the request's size
    // gate must; its size, attributes and last-write time come with one
    // query of the path, which costs no open.
    if (!findRealPath(source)) return 0;
    if (!GetFileAttributesExW(gRealPath[0] ? gRealPath : source, GetFileExInfoStandard, &facts)) {
        if (bDebug && gRealPath[0]) DebugOnlyErrorBox(gRealPath, L"debug only : failed to get attributes");
        return 0;
    }
    if (facts.nFileSizeHigh == 0 && facts.nFileSizeLow == 0) return 0;
    if (!gRealPath[0]) {
        dropCache();
        if (bDebug) DebugOnlyErrorBox(source, L"debug only : failed to get real path for ADS saving");
        return 1;
    }
    gSavedAttributes = facts.dwFileAttributes;
    gSourceWrite = facts.ftLastWriteTime;
    if (bADSMultipleThumbnailSizes)
        FormatWideUnbounded(gStreamName, kStreamNameChars, kSizedThumbnailStreamFormat, gThumbWidth, gThumbHeight);
    else
        CopyWide(gStreamName, kStreamNameChars, kSingleThumbnailStream);

    wchar_t out[kFormatWideChars];
    wchar_t cached[kFormatWideChars];
    FormatWide(out, L"%ls%ls", gRealPath, gStreamName);
    FormatWide(cached, L"%ls%ls", gRealPath, kCacheRecordStream);
    if (wcslen(cached) > 268) {
        dropCache();
        if (bDebug) DebugOnlyErrorBox(cached, L"lstrlenW(gFileThumbsCachedADS) >= _MAX_PATH+9");
        return 1;
    }
    if (wcslen(out) > 291) {
        dropCache();
        if (bDebug) DebugOnlyErrorBox(out, L"lstrlenW(szFileThumbsOUT) >= _MAX_PATH+32");
        return 1;
    }
    CopyWide(gFileThumbsCachedADS, kCachedAdsChars, cached);
    CopyWide(szFileThumbsOUT, kThumbOutChars, out);
    return 1;
}

static void readCacheIni()
{
    static unsigned char bytes[kCacheIniBytes + 1];
    DWORD total = 0;
    gCacheIniLength = 0;
    // Shared as the profile functions share it when they read.
    HANDLE file = CreateFileW(gFileThumbsCachedADS, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return; // no record and no position
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + total, (DWORD)sizeof bytes - total, &got, NULL)) total = 0;
        if (!got || (total += got) == sizeof bytes) break;
    }
    CloseHandle(file);
    if (total > kCacheIniBytes) return; // read as empty: a miss
    int length = decodeProfileBytes(bytes, total, gCacheIniText, kCacheIniBytes + 1);
    gCacheIniLength = length < 0 ? kCacheIniUndecoded : length;
}

// The value of `key` (kSettingsChars) in ":cache.ini", "" when missing.
static void readCacheIniValue(const wchar_t* key, wchar_t* value)
{
    if (gCacheIniLength == kCacheIniUnread) readCacheIni();
    if (gCacheIniLength == kCacheIniUndecoded)
        GetPrivateProfileStringW(kCacheRecordSection, key, L"", value, kSettingsChars, gFileThumbsCachedADS);
    else
        findProfileValue(gCacheIniText, (size_t)gCacheIniLength, kCacheRecordSection, key, value, kSettingsChars);
}

// A stored position is a decimal percentage in [0, 100). Anything else
// (NaN or an infinity would stick for good: every step from them gives
// them again) counts as none, and the configured position applies.
static bool parseStoredPosition(const wchar_t* text, double* position)
{
    const wchar_t* p = text;
    while (iswspace(*p)) ++p;
    if (*p == L'+' || *p == L'-') ++p;
    if (*p == L'.') ++p;
    // A hexadecimal form ("0x…") stops after its "0", which is no position.
    if (*p < L'0' || *p > L'9' || (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X'))) return false;
    double value = ParseSettingsDouble(text);
    if (!isfinite(value) || value < 0 || value >= 100) return false;
    *position = value;
    return true;
}

bool readStoredPosition(double* position)
{
    wchar_t value[kSettingsChars];
    readCacheIniValue(L"rot", value);
    return parseStoredPosition(value, position);
}

// Leads the hashed text. A change to what the text holds comes with a new
// number, so that records made under the old layout can never match.
static const wchar_t kSignatureFormat[] = L"2";

// Raised whenever video and audio thumbnails come out otherwise for the
// same settings, so that pictures cached by an earlier build (squeezed
// anamorphic video, the wrong one of several streams, HDR video without
// tone mapping) are made anew once instead of being shown for good. A hit
// cannot tell an old HDR picture from an SDR one without a probe.
static const wchar_t kMediaPictureRevision[] = L"r2";

// The signature is a hash over a text made of the settings that shape a
// thumbnail of this kind. The text is hashed piece by piece, so settings
// values of any length give a fixed function without a bounded buffer.
struct SignatureHash {
    long long a;
    long long index;
};

static void hashText(SignatureHash* h, const wchar_t* text)
{
    for (const wchar_t* c = text; *c; ++c, ++h->index) {
        int32_t t = (int32_t)(((uint32_t)(*c & 0xFF) + 1) * (uint32_t)h->index);
        if (h->a < 99999999999999999LL)
            h->a += t;
        else
            h->a = t;
    }
}

static void hashInt(SignatureHash* h, int value)
{
    wchar_t text[32];
    FormatWideUnbounded(text, 32, L"%d", value);
    hashText(h, text);
}

static void hashDouble(SignatureHash* h, const wchar_t* format, double value)
{
    wchar_t text[kFormatWideChars];
    FormatWide(text, format, value);
    hashText(h, text);
}

unsigned long long cacheSignatureHash(const wchar_t* text)
{
    SignatureHash h = {1, 0};
    hashText(&h, text);
    return (unsigned long long)h.a;
}

void buildCacheSignature(int mediaKind)
{
    SignatureHash h = {1, 0};
    hashText(&h, kSignatureFormat);
    hashInt(&h, mediaKind);
    if (mediaKind == kMediaVideo) {
        hashText(&h, szFfmpegVideo_LR);
        hashText(&h, szFfmpegVideo_TB);
        hashText(&h, szFfmpegVideo_VR_LR);
        hashText(&h, szFfmpegVideo_VR_TB);
        hashText(&h, szFfmpegVideo_VR_180);
        hashText(&h, szFfmpegVideo_VR_360);
        hashInt(&h, b3DSupport);
        hashDouble(&h, L"%.5f", gPositionActive ? gCurrentPosition : gPercentPosition);
    } else if (mediaKind == kMediaAudio) {
        hashInt(&h, bAudioCoverHasPriority);
        hashText(&h, szFfmpegAudioPostInputParams);
        hashText(&h, szAudioColorLeft);
        hashText(&h, szAudioColorRight);
        hashDouble(&h, L"%.0f", gAudioTimeMaxInSecs);
        hashInt(&h, bAudioShowFadeInOut);
        hashDouble(&h, L"%.5f", gAudioIdealFadeInOutInSecs);
        hashInt(&h, gAudioSeparatorThickness);
        hashInt(&h, bFfmpegAudioSmoothen);
    }
    if (mediaKind == kMediaVideo || mediaKind == kMediaAudio) {
        hashText(&h, szFfmpegVideoPreInputParams);
        hashText(&h, szFfmpegVideoPostInputParams);
        hashText(&h, szFfmpegSharpenInputParams);
        hashInt(&h, bOverlayInfo);
        hashText(&h, szFfmpegVideoDrawTextAdditional);
        hashInt(&h, bOverlayHideHoursIfZero);
        hashInt(&h, gFontSize);
        hashInt(&h, gFontSizeLine2);
        hashInt(&h, gFontSizeLine3);
        hashText(&h, szFontColor);
        hashInt(&h, gTextLine1XPos);
        hashInt(&h, gTextLine1YPos);
        hashInt(&h, gTextLine2XPos);
        hashInt(&h, gTextLine2YPos);
        hashInt(&h, gTextLine3XPos);
        hashInt(&h, gTextLine3YPos);
        hashText(&h, kMediaPictureRevision);
    } else if (mediaKind == kMediaImage || mediaKind == kMediaComic || mediaKind == kMediaAlbum) {
        hashText(&h, szIrfanviewMidInputParam);
    }
    FormatWideUnbounded(gCacheSignature, kSignatureChars, L"%llx", (unsigned long long)h.a);
}

void parseCacheRecord(const wchar_t* text, wchar_t separator, wchar_t first[kRecordFieldChars],
                      wchar_t second[kRecordFieldChars], wchar_t third[kRecordFieldChars])
{
    wchar_t* fields[3] = {first, second, third};
    for (wchar_t* field : fields) field[0] = 0;
    if (!text || !text[0]) return;
    const wchar_t* start = text;
    for (int i = 0; i < 3; ++i) {
        const wchar_t* end = wcschr(start, separator);
        if (!end) end = start + wcslen(start); // as if a separator ended the text
        size_t n = (size_t)(end - start);
        if (n < kRecordFieldChars) {
            wmemcpy(fields[i], start, n);
            fields[i][n] = 0;
        }
        if (!*end) break;
        start = end + 1;
    }
}

// "yyyy.mm.dd hh:mm:ss" of a UTC file time into `out` (kRecordFieldChars).
static int formatRecordTime(const FILETIME* time, wchar_t* out)
{
    SYSTEMTIME st;
    out[0] = 0;
    if (!FileTimeToSystemTime(time, &st)) return 0;
    return FormatWideUnbounded(out, kRecordFieldChars, L"%04d.%02d.%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay,
                               st.wHour, st.wMinute, st.wSecond) > 0;
}

void releaseSourceHold()
{
    if (gSourceHold != INVALID_HANDLE_VALUE) CloseHandle(gSourceHold);
    gSourceHold = INVALID_HANDLE_VALUE;
}

// Opens the hold on `path` and keeps its three times.
static bool holdSource(const wchar_t* path)
{
    releaseSourceHold();
    gSourceHold = CreateFileW(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (gSourceHold != INVALID_HANDLE_VALUE && GetFileTime(gSourceHold, &gKeptCreation, &gKeptAccess, &gKeptWrite))
        return true;
    releaseSourceHold();
    return false;
}

// Puts the kept times back through the hold, then lets the source go.
static bool putBackHeldTimes()
{
    bool ok = gSourceHold != INVALID_HANDLE_VALUE && !gRefuseTimeRestores &&
              SetFileTime(gSourceHold, &gKeptCreation, &gKeptAccess, &gKeptWrite);
    releaseSourceHold();
    return ok;
}

// Whether a stream that is there still has its record to pass: with a
// refresh test on, or in single-size mode, where one stream serves every
// cell size and the record says which one it holds.
static bool recordIsChecked()
{
    return bADSRefreshIfFileTimeChanged || bADSRefreshIfCmdChanged || !bADSMultipleThumbnailSizes;
}

// The kept thumbnail open for decoding, or null when the stream is missing
// or empty. It is shared as the size query shares files, so that a stream
// that another program is writing counts as missing.
static FILE* openKeptThumbnail()
{
    LARGE_INTEGER size;
    FILE* file = NULL;
    int descriptor = -1;
    HANDLE stream = CreateFileW(szFileThumbsOUT, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (stream == INVALID_HANDLE_VALUE) return NULL;
    if (!GetFileSizeEx(stream, &size) || size.QuadPart <= 0) goto done;
    descriptor = _open_osfhandle((intptr_t)stream, _O_RDONLY | _O_BINARY);
    if (descriptor < 0) goto done;
    stream = INVALID_HANDLE_VALUE; // the descriptor owns it now
    file = _fdopen(descriptor, "rb");
    if (file) descriptor = -1; // and now the stream
done:
    if (descriptor >= 0) _close(descriptor);
    if (stream != INVALID_HANDLE_VALUE) CloseHandle(stream);
    return file;
}

static bool recordMatches()
{
    if (!recordIsChecked()) return true;

    wchar_t record[kSettingsChars];
    wchar_t recordTime[kRecordFieldChars], signature[kRecordFieldChars], cellSize[kRecordFieldChars];
    readCacheIniValue(gStreamName, record);
    parseCacheRecord(record, kCacheRecordSeparator, recordTime, signature, cellSize);

    if (!bADSMultipleThumbnailSizes) {
        wchar_t expected[kRecordFieldChars];
        FormatWideUnbounded(expected, kRecordFieldChars, L"%dx%d", gThumbWidth, gThumbHeight);
        if (wcscmp(expected, cellSize) != 0) return false;
    }
    if (bADSRefreshIfCmdChanged && wcscmp(gCacheSignature, signature) != 0) return false;
    if (bADSRefreshIfFileTimeChanged) {
        wchar_t current[kRecordFieldChars];
        formatRecordTime(&gSourceWrite, current);
        if (wcscmp(current, recordTime) != 0) return false;
    }
    return true;
}

bool checkCachedThumbnail(bool forceRefresh, FILE** thumbnail)
{
    *thumbnail = NULL;
    if (forceRefresh) return false;
    FILE* kept = openKeptThumbnail();
    if (!kept) return false;
    if (recordMatches()) {
        *thumbnail = kept;
        return true;
    }
    fclose(kept);
    return false;
}

int unlockSourceForWriting()
{
    // An exclusive open succeeds only when no other program has the file
    // open: writing streams under a program's feet is not worth a thumbnail.
    HANDLE file = CreateFileW(gRealPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) goto fail;
    CloseHandle(file);
    // Writing the attributes back unchanged proves the right to change them.
    if (!SetFileAttributesW(gRealPath, gSavedAttributes)) goto fail;
    if (gSavedAttributes & FILE_ATTRIBUTE_READONLY) {
        if (!SetFileAttributesW(gRealPath, gSavedAttributes & ~(DWORD)FILE_ATTRIBUTE_READONLY)) goto fail;
    } else {
        gSavedAttributes = kNoSavedAttributes;
    }
    return 1;
fail:
    gSavedAttributes = kNoSavedAttributes;
    dropCache();
    return 0;
}

int probeStreamWritable()
{
    HANDLE stream = INVALID_HANDLE_VALUE;
    if (!holdSource(gRealPath)) goto fail;
    stream = CreateFileW(szFileThumbsOUT, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (stream == INVALID_HANDLE_VALUE) goto fail;
    CloseHandle(stream);
    // Creating a stream stamps the file's last-write time on NTFS. Left so,
    // it would be what the generator captures and puts back as the
    // original: then nothing more is written into the source.
    if (!putBackHeldTimes()) {
        ErrorBox(gRealPath, kTimeRestoreError);
        goto fail;
    }
    return 1;
fail:
    releaseSourceHold();
    restoreSourceAttributes();
    gSavedAttributes = kNoSavedAttributes;
    dropCache();
    return 0;
}

int restoreSourceAttributes()
{
    if (!gUseADS || gSavedAttributes == kNoSavedAttributes) return 1;
    if (SetFileAttributesW(gRealPath, gSavedAttributes)) return 1;
    ErrorBox(gRealPath, L"Could not restore read only attribute for some reason. Please do manually and report bug");
    return 0;
}

int captureSourceTimes(const wchar_t* source)
{
    if (!holdSource(source)) {
        ErrorBox(source, kFileTimeError);
        return 0;
    }
    formatRecordTime(&gKeptWrite, gRecordTime);
    return 1;
}

static bool recordPastBound()
{
    WIN32_FILE_ATTRIBUTE_DATA facts;
    return GetFileAttributesExW(gFileThumbsCachedADS, GetFileExInfoStandard, &facts) &&
           (facts.nFileSizeHigh != 0 || facts.nFileSizeLow > kCacheRecordMaxBytes);
}

// Writes `key`=`value` (`value` null: the key goes) into ":cache.ini". A
// stream past the bound is not handed to the profile functions but written
// over: the section with this one key is all it holds afterwards. It is
// opened as it stands rather than created anew, which a hidden or system
// file would refuse; the keys and values are ASCII, which every reader takes
// alike.
static void writeRecordKey(const wchar_t* key, const wchar_t* value)
{
    if (!recordPastBound()) {
        WritePrivateProfileStringW(kCacheRecordSection, key, value, gFileThumbsCachedADS);
        return;
    }
    wchar_t line[kFormatWideChars];
    char bytes[kFormatWideChars];
    DWORD written = 0;
    int length = value ? FormatWide(line, L"[%ls]\r\n%ls=%ls\r\n", kCacheRecordSection, key, value)
                       : FormatWide(line, L"[%ls]\r\n", kCacheRecordSection);
    if (length < 0) return;
    int count = WideCharToMultiByte(CP_UTF8, 0, line, length, bytes, (int)sizeof bytes, NULL, NULL);
    if (count <= 0) return;
    HANDLE stream = CreateFileW(gFileThumbsCachedADS, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (stream == INVALID_HANDLE_VALUE) return;
    if (WriteFile(stream, bytes, (DWORD)count, &written, NULL) && written == (DWORD)count) SetEndOfFile(stream);
    CloseHandle(stream);
}

void writeCacheRecord()
{
    if (!(bADSRefreshIfFileTimeChanged || bADSRefreshIfCmdChanged || bADSAlwaysSaveCache)) return;
    wchar_t record[kFormatWideChars];
    if (bADSMultipleThumbnailSizes)
        FormatWide(record, L"%ls|%ls", gRecordTime, gCacheSignature);
    else
        FormatWide(record, L"%ls|%ls|%dx%d", gRecordTime, gCacheSignature, gThumbWidth, gThumbHeight);
    writeRecordKey(gStreamName, record);
    gCacheIniLength = kCacheIniUnread;
}

void writeStoredPosition()
{
    if (gCurrentPosition != gPercentPosition) {
        wchar_t value[kFormatWideChars];
        FormatWide(value, L"%.5f", gCurrentPosition);
        writeRecordKey(L"rot", value);
    } else {
        writeRecordKey(L"rot", NULL);
    }
    gCacheIniLength = kCacheIniUnread;
}

int restoreSourceTimes(const wchar_t* source)
{
    if (putBackHeldTimes()) return 1;
    ErrorBox(source, kTimeRestoreError);
    return 0;
}
