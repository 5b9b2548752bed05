// Thumbnails kept in alternate data streams of the source file, with a
// record of the file time, settings and cell size they were made from.
#pragma once
#include <windows.h>
#include <stdio.h>

enum {
    kRealPathChars = 260,
    kStreamNameChars = 64,
    kSignatureChars = 32,
    kCachedAdsChars = 270, // real path + ":cache.ini", at most 268 characters
    kRecordFieldChars = 32,
};

// Per-request state, reset by the pipeline at the start of each request.
extern bool gUseADS;
extern bool gADSFailed;
extern DWORD gSavedAttributes; // kNoSavedAttributes when nothing to put back
extern wchar_t gStreamName[kStreamNameChars];
extern wchar_t gCacheSignature[kSignatureChars];
extern wchar_t gFileThumbsCachedADS[kCachedAdsChars];

const DWORD kNoSavedAttributes = (DWORD)-1;

// Real path, attributes, stream names and their limits. The one open of the
// source it makes is also the request's size gate. Returns 0 when the
// request must be refused (source unreadable or empty, attributes
// unreadable); otherwise 1, with the cache either ready or dropped for this
// request.
int prepareStreamCache(const wchar_t* source);
// The frame position stored under "rot", if it holds a valid one.
bool readStoredPosition(double* position);
// Fills gCacheSignature for the media kind from the settings in force.
void buildCacheSignature(int mediaKind);
// Hash of the signature text, exposed for tests.
unsigned long long cacheSignatureHash(const wchar_t* text);
// Splits "a|b|c…" into three fields of kRecordFieldChars each. A field too
// long for its slot is left empty, so it can never match.
void parseCacheRecord(const wchar_t* text, wchar_t separator, wchar_t first[kRecordFieldChars],
                      wchar_t second[kRecordFieldChars], wchar_t third[kRecordFieldChars]);
// Whether the kept thumbnail may be shown unchanged (a hit). On a hit
// *thumbnail is the stream, open for decoding; the caller closes it.
bool checkCachedThumbnail(bool forceRefresh, FILE** thumbnail);
// Lifts the read-only attribute after proving the file is free; 0 drops
// the cache for this request.
int unlockSourceForWriting();
// On a miss: can the thumbnail stream be written at all? Volumes without
// named streams (FAT, exFAT, some shares) cannot; then the cache is dropped
// for this request (the read-only attribute put back first) so the
// thumbnail is still made through a temporary file. The source's times are
// put back after the try; when they cannot be, the cache is dropped too.
int probeStreamWritable();
// Puts the read-only attribute back; 0 (after telling the user) on failure.
int restoreSourceAttributes();

// Called by every generator around its writes while gUseADS is on. From
// capture to restore the source's main stream is held open against other
// writers, so that putting the times back never undoes another program's
// save; its other streams stay writable.
int captureSourceTimes(const wchar_t* source);
void writeCacheRecord();
// Stores the rotated frame position (or removes it when it is back at the
// configured position); the video generator calls it for single frames.
void writeStoredPosition();
int restoreSourceTimes(const wchar_t* source);
// Lets the source go, should a generator have returned between capture
// and restore.
void releaseSourceHold();

// The warning shown whenever a file's times could not be put back.
extern const wchar_t kTimeRestoreError[];
