// The thumbnail of a comic or album archive: its cover, extracted into a
// temporary file and scaled by the image generator.
#include <string.h>

#include "cache/stream_cache.h"
#include "common/messages.h"
#include "generators/archive_cover.h"
#include "generators/generators.h"
#include "plugin/file_info.h"
#include "plugin/state.h"

long long gCoverByteLimit = kCoverByteLimit;
long long gUnpackBeforeCoverLimit = kUnpackBeforeCoverLimit;
long gArchiveEntryLimit = kArchiveEntryLimit;

int ProbeArchiveType(const wchar_t* path)
{
    static const unsigned char kSevenZipSignature[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    unsigned char head[512];
    DWORD got = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return kArchiveUnknown;
    BOOL read = ReadFile(file, head, sizeof head, &got, NULL);
    CloseHandle(file);
    if (!read) return kArchiveUnknown;
    // A tar starts with the name of its first entry, which may well begin
    // with "PK" or "Rar": the magic and the checksum go first.
    if (got == sizeof head && memcmp(head + 257, "ustar", 5) == 0 && (head[262] == 0 || head[262] == ' ') &&
        IsTarHeader(head))
        return kArchiveTar;
    if (got >= 2 && head[0] == 'P' && head[1] == 'K') return kArchiveZip;
    if (got >= 3 && memcmp(head, "Rar", 3) == 0) return kArchiveRar;
    if (got >= sizeof kSevenZipSignature && memcmp(head, kSevenZipSignature, sizeof kSevenZipSignature) == 0)
        return kArchiveSevenZip;
    return kArchiveUnknown;
}

struct KeptTimes {
    FILETIME creation, access, write;
};

static bool sameTimes(const KeptTimes& a, const KeptTimes& b)
{
    return CompareFileTime(&a.creation, &b.creation) == 0 && CompareFileTime(&a.access, &b.access) == 0 &&
           CompareFileTime(&a.write, &b.write) == 0;
}

// Reading the archive stamps its last-access time on volumes that keep
// one, with or without the stream cache, and the image generator keeps the
// times only after the archive has been read. The user's file is to look
// untouched, so the times from before the first read go back at the end.
// The archive is held from then until its times are back, denying writing
// to everyone else: a program's save in between would otherwise get the old
// last-write time from us, and backup and sync tools would skip the change.
// Reading, renaming and deleting stay allowed, so the extractors and the
// image generator open it alongside. Null when it cannot be held (another
// program is writing it): its times are then left as they come.
static HANDLE holdArchive(const wchar_t* archive, KeptTimes* kept)
{
    HANDLE hold = CreateFileW(archive, GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (hold == INVALID_HANDLE_VALUE) return NULL;
    if (GetFileTime(hold, &kept->creation, &kept->access, &kept->write)) return hold;
    CloseHandle(hold);
    return NULL;
}

// Puts the kept times back through the hold (only when they changed) and
// lets the archive go.
static void releaseArchive(HANDLE hold, const wchar_t* archive, const KeptTimes& kept)
{
    KeptTimes now;
    bool unchanged = GetFileTime(hold, &now.creation, &now.access, &now.write) && sameTimes(now, kept);
    if (!unchanged && !SetFileTime(hold, &kept.creation, &kept.access, &kept.write)) ErrorBox(archive, kTimeRestoreError);
    CloseHandle(hold);
}

// By archive type.
static int (*const kExtractors[])(const wchar_t*, const wchar_t*, int) = {
    NULL, ExtractZipCover, ExtractRarCover, ExtractSevenZipCover, ExtractTarCover,
};

int MakeArchiveThumbnail(const wchar_t* source, wchar_t* out, int mode)
{
    int result = 0;
    int type = kArchiveUnknown;
    int extracted = 0;
    wchar_t szCoverFile[kThumbOutChars];
    KeptTimes kept;
    HANDLE hold = holdArchive(source, &kept);
    szCoverFile[0] = 0;

    type = ProbeArchiveType(source);
    if (type == kArchiveUnknown) goto done;
    if (!makeTemporaryOutput(szCoverFile)) goto done;
    extracted = kExtractors[type](source, szCoverFile, mode);
    if (extracted == 1) result = irfanviewGetImageThumbnail(source, out, szCoverFile);
done:
    if (szCoverFile[0]) DeleteFileW(szCoverFile);
    if (hold) releaseArchive(hold, source, kept);
    return result;
}
