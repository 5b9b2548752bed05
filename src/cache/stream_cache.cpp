#include "cache/stream_cache.h"

#include <stdlib.h>
#include <stdint.h>
#include <wchar.h>

#include "common/format.h"
#include "common/messages.h"
#include "plugin/file_info.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings.h"

bool gUseADS = false;
bool gADSFailed = false;
DWORD gSavedAttributes = kNoSavedAttributes;
wchar_t gStreamName[kStreamNameChars];
wchar_t gCacheSignature[kSignatureChars];
wchar_t gFileThumbsCachedADS[kCachedAdsChars];
// The source's final path: the file whose streams and attributes we touch.
static wchar_t gRealPath[kRealPathChars];

static const wchar_t kSection[] = L"vistrel";
static const wchar_t kFileTimeError[] = L"\nError: Failed getting filetime from specified file:\n";
static const wchar_t kTimeRestoreError[] =
    L"\nWarning : Unexpected event: Could not set back original time for specified file (you probably need to "
    L"restore it manually.. and contact author about this problem)!\n";

// Times captured before a generator writes into the source's streams.
static FILETIME gKeptCreation, gKeptAccess, gKeptWrite;
static wchar_t gRecordTime[kRecordFieldChars];

static void dropCache()
{
    gUseADS = false;
    gADSFailed = true;
}

// Replaces `path` (kRealPathChars) by the file's final path; 0 on failure.
static int getRealPath(wchar_t* path)
{
    int ok = 0;
    wchar_t finalPath[kRealPathChars];
    DWORD n = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) goto done;
    n = GetFinalPathNameByHandleW(file, finalPath, kRealPathChars, FILE_NAME_OPENED | VOLUME_NAME_DOS);
    // A count of 260 or more means the buffer was too small.
    if (n < 1 || n > 259 || wcslen(finalPath) != n) goto done;
    ok = CopyWide(path, kRealPathChars, finalPath);
done:
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}

int prepareStreamCache(const wchar_t* source)
{
    if (!CopyWide(gRealPath, kRealPathChars, source) || !getRealPath(gRealPath)) {
        gRealPath[0] = 0;
        dropCache();
        if (bDebug) DebugOnlyErrorBox(source, L"debug only : failed to get real path for ADS saving");
        return 1;
    }
    gSavedAttributes = GetFileAttributesW(gRealPath);
    if (gSavedAttributes == INVALID_FILE_ATTRIBUTES) {
        gSavedAttributes = kNoSavedAttributes;
        if (bDebug) DebugOnlyErrorBox(gRealPath, L"debug only : failed to get attributes");
        return 0;
    }
    if (bADSMultipleThumbnailSizes)
        FormatWideUnbounded(gStreamName, kStreamNameChars, L":p%dx%d.jpg", gThumbWidth, gThumbHeight);
    else
        CopyWide(gStreamName, kStreamNameChars, L":preview.jpg");

    wchar_t out[kFormatWideChars];
    wchar_t cached[kFormatWideChars];
    FormatWide(out, L"%ls%ls", gRealPath, gStreamName);
    FormatWide(cached, L"%ls:cache.ini", gRealPath);
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

bool readStoredPosition(double* position)
{
    wchar_t value[kSettingsChars];
    GetPrivateProfileStringW(kSection, L"rot", L"", value, kSettingsChars, gFileThumbsCachedADS);
    if (!value[0]) return false;
    *position = wcstod(value, NULL);
    return true;
}

// Leads the hashed text. A change to what the text holds comes with a new
// number, so that records made under the old layout can never match.
static const wchar_t kSignatureFormat[] = L"2";

// Raised whenever video and audio thumbnails come out otherwise for the
// same settings, so that pictures cached by an earlier build (squeezed
// anamorphic video, the wrong one of several streams) are made anew once
// instead of being shown for good.
static const wchar_t kMediaPictureRevision[] = L"r1";

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

// Reading times needs only attribute access, which no sharing mode of
// another program can deny.
static int readFileTimes(const wchar_t* path, FILETIME* creation, FILETIME* access, FILETIME* write)
{
    HANDLE file = CreateFileW(path, FILE_READ_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BOOL ok = GetFileTime(file, creation, access, write);
    CloseHandle(file);
    return ok != 0;
}

static int writeFileTimes(const wchar_t* path, const FILETIME* creation, const FILETIME* access, const FILETIME* write)
{
    HANDLE file = CreateFileW(path, FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BOOL ok = SetFileTime(file, creation, access, write);
    CloseHandle(file);
    return ok != 0;
}

// Whether a stream that is there still has its record to pass: with a
// refresh test on, or in single-size mode, where one stream serves every
// cell size and the record says which one it holds.
static bool recordIsChecked()
{
    return bADSRefreshIfFileTimeChanged || bADSRefreshIfCmdChanged || !bADSMultipleThumbnailSizes;
}

int checkCachedThumbnail(bool forceRefresh)
{
    if (forceRefresh) return kCacheMiss;
    if (getFileSize64(szFileThumbsOUT) <= 0) return kCacheMiss;

    if (!recordIsChecked()) return kCacheHit;

    wchar_t record[kSettingsChars];
    wchar_t recordTime[kRecordFieldChars], signature[kRecordFieldChars], cellSize[kRecordFieldChars];
    GetPrivateProfileStringW(kSection, gStreamName, L"", record, kSettingsChars, gFileThumbsCachedADS);
    parseCacheRecord(record, L'|', recordTime, signature, cellSize);

    if (!bADSMultipleThumbnailSizes) {
        wchar_t expected[kRecordFieldChars];
        FormatWideUnbounded(expected, kRecordFieldChars, L"%dx%d", gThumbWidth, gThumbHeight);
        if (wcscmp(expected, cellSize) != 0) return kCacheMiss;
    }
    if (bADSRefreshIfCmdChanged && wcscmp(gCacheSignature, signature) != 0) return kCacheMiss;
    if (bADSRefreshIfFileTimeChanged) {
        FILETIME creation, access, write;
        wchar_t current[kRecordFieldChars];
        if (!readFileTimes(gRealPath, &creation, &access, &write)) {
            ErrorBox(gRealPath, kFileTimeError);
            return kCacheRefuse;
        }
        formatRecordTime(&write, current);
        if (wcscmp(current, recordTime) != 0) return kCacheMiss;
    }
    return kCacheHit;
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
    FILETIME creation, access, write;
    HANDLE stream = INVALID_HANDLE_VALUE;
    if (!readFileTimes(gRealPath, &creation, &access, &write)) goto fail;
    stream = CreateFileW(szFileThumbsOUT, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (stream == INVALID_HANDLE_VALUE) goto fail;
    CloseHandle(stream);
    // Creating a stream stamps the file's last-write time on NTFS. The
    // generator captures the times only after this, so a failure here
    // would otherwise go unnoticed.
    if (!writeFileTimes(gRealPath, &creation, &access, &write)) ErrorBox(gRealPath, kTimeRestoreError);
    return 1;
fail:
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
    if (!readFileTimes(source, &gKeptCreation, &gKeptAccess, &gKeptWrite)) {
        ErrorBox(source, kFileTimeError);
        return 0;
    }
    formatRecordTime(&gKeptWrite, gRecordTime);
    return 1;
}

void writeCacheRecord()
{
    if (!(bADSRefreshIfFileTimeChanged || bADSRefreshIfCmdChanged || bADSAlwaysSaveCache)) return;
    wchar_t record[kFormatWideChars];
    if (bADSMultipleThumbnailSizes)
        FormatWide(record, L"%ls|%ls", gRecordTime, gCacheSignature);
    else
        FormatWide(record, L"%ls|%ls|%dx%d", gRecordTime, gCacheSignature, gThumbWidth, gThumbHeight);
    WritePrivateProfileStringW(kSection, gStreamName, record, gFileThumbsCachedADS);
}

void writeStoredPosition()
{
    if (gCurrentPosition != gPercentPosition) {
        wchar_t value[kFormatWideChars];
        FormatWide(value, L"%.5f", gCurrentPosition);
        WritePrivateProfileStringW(kSection, L"rot", value, gFileThumbsCachedADS);
    } else {
        WritePrivateProfileStringW(kSection, L"rot", NULL, gFileThumbsCachedADS);
    }
}

int restoreSourceTimes(const wchar_t* source)
{
    if (writeFileTimes(source, &gKeptCreation, &gKeptAccess, &gKeptWrite)) return 1;
    ErrorBox(source, kTimeRestoreError);
    return 0;
}
