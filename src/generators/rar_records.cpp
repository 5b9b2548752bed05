// Reads only what decides the bounds: block types, sizes, and the fields of
// stream records. Checksums are not checked, because the library does not
// stop at a wrong one either; names of entries are left to the library.
#include "generators/rar_records.h"

#include <windows.h>

#include <string.h>

#include "generators/archive_cover.h"

// Enough for the fixed fields of any block header that we read, even with
// every number in its longest form.
enum { kBlockPeek = 256 };
// Blocks per listed entry that a real archive may have: the entry, a
// stream or two, a recovery record.
enum { kBlocksPerEntry = 4 };

static const unsigned char kRar4Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
static const unsigned char kRar5Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// Counts what the walk met against the bounds.
struct StreamTally {
    int records;
    bool refused;
};

// The bytes of the archive at `offset`, as many as there are up to `capacity`.
static DWORD peek(HANDLE file, unsigned long long offset, unsigned char* buffer, DWORD capacity)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    if (offset > 0x7FFFFFFFFFFFFFFFULL || !SetFilePointerEx(file, at, NULL, FILE_BEGIN)) return 0;
    if (!ReadFile(file, buffer, capacity, &got, NULL)) return 0;
    return got;
}

// A cursor over the peeked bytes: reading past them marks it failed.
struct Cursor {
    const unsigned char* bytes;
    DWORD size, at;
    bool failed;
};

static unsigned long long fixed(Cursor* c, int width)
{
    unsigned long long value = 0;
    if (c->failed || c->size - c->at < (DWORD)width) {
        c->failed = true;
        return 0;
    }
    for (int i = 0; i < width; ++i) value |= (unsigned long long)c->bytes[c->at + i] << (8 * i);
    c->at += width;
    return value;
}

static void skip(Cursor* c, DWORD count)
{
    if (c->failed || c->size - c->at < count) c->failed = true;
    else c->at += count;
}

// RAR5's variable-length numbers: seven bits a byte, lowest first.
static unsigned long long vint(Cursor* c)
{
    unsigned long long value = 0;
    for (int shift = 0; shift < 70; shift += 7) {
        unsigned long long byte = fixed(c, 1);
        if (c->failed) return 0;
        if (shift < 64) value |= (byte & 0x7F) << shift;
        if (!(byte & 0x80)) return value;
    }
    c->failed = true;
    return 0;
}

static bool isStreamName(Cursor* c, unsigned long long length)
{
    if (length != 3 || c->size - c->at < 3) return false;
    return memcmp(c->bytes + c->at, "STM", 3) == 0;
}

static void tally(StreamTally* t, unsigned long long unpacked, unsigned long long window)
{
    ++t->records;
    if (t->records > kRarStreamRecordLimit || unpacked > (unsigned long long)kRarStreamBytesLimit ||
        window > (unsigned long long)kRarStreamWindowLimit)
        t->refused = true;
}

// One RAR5 block at `offset`; returns the offset of the next one, or 0 when
// the walk ends here.
static unsigned long long rar5Block(HANDLE file, unsigned long long offset, StreamTally* t)
{
    enum { kMainHeader = 1, kServiceHeader = 3, kEncryptionHeader = 4, kEndHeader = 5 };
    enum { kHasExtra = 0x1, kHasData = 0x2, kSizeUnknown = 0x8, kHasTime = 0x2, kHasCrc = 0x4 };
    const unsigned long long kHeaderLimit = 0x200000; // the library's own
    unsigned char bytes[kBlockPeek];
    Cursor c = {bytes, peek(file, offset, bytes, sizeof bytes), 0, false};
    skip(&c, 4); // checksum
    unsigned long long headerSize = vint(&c);
    DWORD headerStart = c.at;
    unsigned long long type = vint(&c), flags = vint(&c), dataSize = 0;
    if (c.failed || headerSize < 2 || headerSize > kHeaderLimit) return 0;
    if (type == kEncryptionHeader || type == kEndHeader) return 0;
    if (flags & kHasExtra) vint(&c);
    if (flags & kHasData) dataSize = vint(&c);
    if (c.failed) return 0;
    if (type == kServiceHeader) {
        unsigned long long fileFlags = vint(&c), unpacked = vint(&c);
        vint(&c); // attributes
        if (fileFlags & kHasTime) skip(&c, 4);
        if (fileFlags & kHasCrc) skip(&c, 4);
        unsigned long long compression = vint(&c);
        vint(&c); // host system
        unsigned long long nameLength = vint(&c);
        if (!c.failed && isStreamName(&c, nameLength) && dataSize > 0) {
            if (fileFlags & kSizeUnknown) unpacked = ~0ULL;
            tally(t, unpacked, 0x20000ULL << ((compression >> 10) & 0xF));
        }
    }
    unsigned long long next = offset + headerStart + headerSize;
    if (next < offset || next + dataSize < next) return 0;
    return next + dataSize;
}

// One RAR4 block at `offset`, as rar5Block.
static unsigned long long rar4Block(HANDLE file, unsigned long long offset, StreamTally* t)
{
    enum { kMainHeader = 0x73, kFileHeader = 0x74, kServiceHeader = 0x7A, kEndHeader = 0x7B };
    enum { kLongBlock = 0x8000, kLargeSizes = 0x100, kEncryptedHeaders = 0x80, kBaseSize = 7 };
    unsigned char bytes[kBlockPeek];
    Cursor c = {bytes, peek(file, offset, bytes, sizeof bytes), 0, false};
    skip(&c, 2); // checksum
    unsigned long long type = fixed(&c, 1), flags = fixed(&c, 2), headerSize = fixed(&c, 2);
    if (c.failed || headerSize < kBaseSize || type == kEndHeader) return 0;
    if (type == kMainHeader && (flags & kEncryptedHeaders)) return 0;
    unsigned long long dataSize = 0;
    if (type == kFileHeader || type == kServiceHeader) {
        unsigned long long packed = fixed(&c, 4), unpacked = fixed(&c, 4);
        skip(&c, 1 + 4 + 4 + 1 + 1); // host, checksum, time, version, method
        unsigned long long nameLength = fixed(&c, 2);
        skip(&c, 4); // attributes
        if (flags & kLargeSizes) {
            packed |= fixed(&c, 4) << 32;
            unpacked |= fixed(&c, 4) << 32;
        }
        if (c.failed) return 0;
        dataSize = packed;
        // Windows of RAR4 are at most 4 MiB: only the size can be too much.
        if (type == kServiceHeader && isStreamName(&c, nameLength) && packed > 0) tally(t, unpacked, 0);
    } else if (flags & kLongBlock) {
        dataSize = fixed(&c, 4);
        if (c.failed) return 0;
    }
    unsigned long long next = offset + headerSize;
    if (next + dataSize < next) return 0;
    return next + dataSize;
}

bool RarStreamRecordsWithinBounds(const wchar_t* archive)
{
    StreamTally t = {0, false};
    unsigned char signature[sizeof kRar5Signature];
    unsigned long long (*block)(HANDLE, unsigned long long, StreamTally*) = NULL;
    unsigned long long offset = 0;
    long long blocks = 0;
    const long long blockLimit = (long long)gArchiveEntryLimit * kBlocksPerEntry;
    HANDLE file = CreateFileW(archive, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD got = peek(file, 0, signature, sizeof signature);
    // The library would search further for an archive that does not start
    // at the first byte; this walk does not, so such a file is refused.
    if (got >= sizeof kRar5Signature && memcmp(signature, kRar5Signature, sizeof kRar5Signature) == 0) {
        block = rar5Block;
        offset = sizeof kRar5Signature;
    } else if (got >= sizeof kRar4Signature && memcmp(signature, kRar4Signature, sizeof kRar4Signature) == 0) {
        block = rar4Block;
        offset = sizeof kRar4Signature;
    } else {
        t.refused = true;
    }
    while (block && offset && !t.refused) {
        if (++blocks > blockLimit) t.refused = true;
        else offset = block(file, offset, &t);
    }
    CloseHandle(file);
    return !t.refused;
}
