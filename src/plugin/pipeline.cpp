#include "plugin/pipeline.h"

#include <wchar.h>

#include "cache/stream_cache.h"
#include "common/format.h"
#include "common/messages.h"
#include "generators/generators.h"
#include "plugin/file_info.h"
#include "plugin/jpeg_bitmap.h"
#include "plugin/rotation.h"
#include "plugin/state.h"
#include "settings/extensions.h"
#include "settings/settings.h"

GeneratorFn gGeneratorOverride = NULL;

static int runGenerator(int kind, const wchar_t* source, wchar_t* out)
{
    switch (kind) {
    case kMediaVideo: return MakeMediaThumbnail(source, out, 0);
    case kMediaAudio: return MakeMediaThumbnail(source, out, bAudioCoverHasPriority ? 0 : 2);
    case kMediaImage: return irfanviewGetImageThumbnail(source, out, L"");
    case kMediaComic: return MakeArchiveThumbnail(source, out, 0);
    case kMediaAlbum: return MakeArchiveThumbnail(source, out, 1);
    default: return 0;
    }
}

int findKeptThumbnail(const wchar_t* path, int kind, FILE** kept)
{
    *kept = NULL;
    gUseADS = bADS;
    gADSFailed = false;
    gSavedAttributes = kNoSavedAttributes;
    gStreamName[0] = 0;
    gCacheSignature[0] = 0;
    gPositionActive = false;
    bool forceRefresh = bADSForceRefreshini;

    // With the cache in use, its one open of the source is the size gate.
    if (gUseADS ? !prepareStreamCache(path) : getFileSize64(path) <= 0) return 0;

    rotateFramePosition(path, CurrentUnixSeconds(), gUseADS, &forceRefresh);

    if (gUseADS && !gPositionActive) {
        double stored;
        if (readStoredPosition(&stored)) {
            gPositionActive = true;
            gCurrentPosition = stored;
        }
    }
    if (gUseADS) {
        buildCacheSignature(kind);
        checkCachedThumbnail(forceRefresh, kept);
    }
    return 1;
}

HBITMAP ThumbnailRequest(const wchar_t* path, int width, int height)
{
    if (!path) return NULL;
    size_t length = wcsnlen(path, kHostPathChars);
    if (length < 3 || length > 259) return NULL;

    CopyWide(gFileExtension, kHostPathChars, path);
    getFileExtension(gFileExtension);
    if (!gFileExtension[0]) return NULL;

    if (!IniFileOp()) {
        if (bDebug) DebugOnlyBoxChars("IniFileOp failed");
        return NULL;
    }

    int kind = ClassifyMediaKind(gFileExtension);
    if (kind == kMediaNone) return NULL;

    gThumbWidth = width;
    gThumbHeight = height;
    if (width < 8 || height < 8) return NULL;

    FILE* kept = NULL;
    if (!findKeptThumbnail(path, kind, &kept)) return NULL;
    HBITMAP bitmap = NULL;
    bool decoded = false;
    if (kept) {
        bitmap = makeThumbnailBitmapFromFile(kept, width, height, &decoded);
        fclose(kept);
    }
    // A kept stream that no longer decodes (a damaged write, another tool's
    // stream of the same name) is a miss: the thumbnail is made anew, once.
    if (!decoded) {
        // Either step may drop the cache; the thumbnail is then made through
        // a temporary file.
        if (gUseADS && unlockSourceForWriting()) probeStreamWritable();
        if (!gUseADS && !makeTemporaryOutput(szFileThumbsOUT)) return NULL;

        if (gUseADS && bDebug) Beep(600, 1500);

        int made = gGeneratorOverride ? gGeneratorOverride(kind, path, szFileThumbsOUT)
                                      : runGenerator(kind, path, szFileThumbsOUT);
        releaseSourceHold();

        if (gUseADS && gSavedAttributes != kNoSavedAttributes) restoreSourceAttributes();
        if (!made) {
            if (!gUseADS) DeleteFileW(szFileThumbsOUT);
            return NULL;
        }
        // The generator may have pointed szFileThumbsOUT at another file;
        // the one named there now is the one to read and remove.
        bitmap = makeThumbnailBitmap(szFileThumbsOUT, width, height);
        if (!gUseADS) DeleteFileW(szFileThumbsOUT);
    }
    if (!bitmap) return NULL;

    gLastSuccessTime = CurrentUnixSeconds();
    return bitmap;
}
