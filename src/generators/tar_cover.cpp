// The cover of a tar archive: a walk over its 512-byte headers, then a
// copy of the chosen entry's bytes from where they stand. Names come from
// the ustar fields, GNU long-name records or pax "path" records; sizes in
// octal or base-256 are held against the file's real size. Only plain
// files are covers: links are never followed, folders and devices have no
// picture.
#include <string.h>

#include "generators/archive_cover.h"
#include "generators/cover_choice.h"

enum {
    kTarBlock = 512,
    kTarNameBytes = 4 * kEntryNameChars, // UTF-8 of the longest name we take
    kPaxBytes = 64 * 1024,               // the most of a pax record block we read
};
static const DWORD kCopyBytes = 64 * 1024;

// Header fields: offset and length.
enum {
    kNameAt = 0, kNameLength = 100,
    kSizeAt = 124, kSizeLength = 12,
    kSumAt = 148, kSumLength = 8,
    kTypeAt = 156,
    kMagicAt = 257,
    kPrefixAt = 345, kPrefixLength = 155,
};

// A number field: octal digits, perhaps after spaces and ended by a space
// or NUL, or base-256 (first byte 0x80) for what octal cannot hold.
// -1 when it is neither, negative or beyond what a file can hold.
static long long tarNumber(const unsigned char* field, int length)
{
    long long value = 0;
    if (field[0] == 0x80) {
        for (int i = 1; i < length; ++i) {
            if (value >> 55) return -1;
            value = (value << 8) | field[i];
        }
        return value;
    }
    int i = 0;
    while (i < length && field[i] == ' ') ++i;
    int digits = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i, ++digits) value = value * 8 + (field[i] - '0');
    if (digits == 0 || (i < length && field[i] != ' ' && field[i] != 0)) return -1;
    return value;
}

bool IsTarHeader(const unsigned char* block)
{
    long long stored = tarNumber(block + kSumAt, kSumLength);
    // Old tools summed signed bytes; both are taken.
    long long sum = 0, signedSum = 0;
    for (int i = 0; i < kTarBlock; ++i) {
        bool field = i >= kSumAt && i < kSumAt + kSumLength;
        sum += field ? ' ' : block[i];
        signedSum += field ? ' ' : (signed char)block[i];
    }
    return stored >= 0 && (stored == sum || stored == signedSum);
}

static bool readAt(HANDLE file, long long offset, void* buffer, DWORD size)
{
    LARGE_INTEGER to;
    to.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, to, NULL, FILE_BEGIN) && ReadFile(file, buffer, size, &got, NULL) && got == size;
}

// Bytes of a name field, up to its first NUL, appended to `out`.
static void appendField(char* out, const unsigned char* field, size_t length)
{
    size_t used = strlen(out), n = 0;
    while (n < length && field[n]) ++n;
    memcpy(out + used, field, n);
    out[used + n] = 0;
}

enum { kPaxMalformed = -1, kPaxNoPath = 0, kPaxPath = 1 };

// The "path" value of a pax record block ("LEN key=value\n" records) into
// `name`. Records of other keys (times, owners) are passed over.
static int paxPath(const char* records, size_t size, char* name)
{
    static const char kKey[] = "path=";
    const size_t keyLength = sizeof kKey - 1;
    size_t at = 0;
    while (at < size) {
        size_t length = 0, i = at;
        for (; i < size && records[i] >= '0' && records[i] <= '9' && length <= size; ++i)
            length = length * 10 + (size_t)(records[i] - '0');
        if (i == at || i >= size || records[i] != ' ' || length > size - at || length <= i - at + 1 ||
            records[at + length - 1] != '\n')
            return kPaxMalformed;
        const char* text = records + i + 1;
        size_t textLength = at + length - 1 - (i + 1);
        if (textLength >= keyLength && memcmp(text, kKey, keyLength) == 0) {
            size_t n = textLength - keyLength;
            if (n == 0 || n >= kTarNameBytes || memchr(text + keyLength, 0, n)) return kPaxMalformed;
            memcpy(name, text + keyLength, n);
            name[n] = 0;
            return kPaxPath;
        }
        at += length;
    }
    return kPaxNoPath;
}

// UTF-8 as tar tools write today, else the ANSI code page of older ones.
static bool wideName(const char* raw, wchar_t* name)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw, -1, name, kEntryNameChars) > 0 ||
           MultiByteToWideChar(CP_ACP, 0, raw, -1, name, kEntryNameChars) > 0;
}

// Where the chosen entry's bytes stand.
struct TarSpan {
    long long at, size;
};

// Walks the headers and offers each plain file to the choice; the walk
// ends at the end marker, a damaged header or the end of the file, with
// what was chosen so far. False when the archive has more entries than
// any comic.
static bool chooseTarCover(HANDLE file, long long fileSize, int mode, CoverChoice* choice, TarSpan* chosen)
{
    static unsigned char block[kTarBlock];
    static char records[kPaxBytes];
    static char longName[kTarNameBytes];
    bool haveLongName = false, lostName = false;
    long long at = 0;
    for (long headers = 0, index = 0; fileSize - at >= kTarBlock;) {
        if (!readAt(file, at, block, kTarBlock) || !IsTarHeader(block)) return true;
        if (++headers > gArchiveEntryLimit) return false;
        long long size = tarNumber(block + kSizeAt, kSizeLength), data = at + kTarBlock;
        if (size < 0 || size > fileSize - data) return true;
        at = data + ((size + kTarBlock - 1) / kTarBlock) * kTarBlock;
        char type = (char)block[kTypeAt];
        if (type == 'L' || type == 'x') {
            // The next entry's name; one that cannot be read leaves that
            // entry without a name rather than with the stand-in field.
            bool read = size < (type == 'L' ? kTarNameBytes : kPaxBytes) && readAt(file, data, records, (DWORD)size);
            if (type == 'L' && read) {
                longName[0] = 0;
                appendField(longName, (const unsigned char*)records, (size_t)size);
            }
            int pax = type == 'x' && read ? paxPath(records, (size_t)size, longName) : kPaxNoPath;
            if ((type == 'L' && read) || pax == kPaxPath) haveLongName = true;
            if (!read || pax == kPaxMalformed) lostName = true;
            continue;
        }
        if (type == 'g' || type == 'K' || type == 'V') continue; // not entries
        char raw[kTarNameBytes];
        raw[0] = 0;
        if (haveLongName) {
            strcpy(raw, longName);
        } else {
            // The prefix field is POSIX ustar's only; GNU tar kept other
            // things there.
            if (memcmp(block + kMagicAt, "ustar\0", 6) == 0 && block[kPrefixAt]) {
                appendField(raw, block + kPrefixAt, kPrefixLength);
                strcat(raw, "/");
            }
            appendField(raw, block + kNameAt, kNameLength);
        }
        bool plain = type == '0' || type == 0 || type == '7', stop = false;
        wchar_t name[kEntryNameChars];
        if (plain && !lostName && wideName(raw, name)) stop = ConsiderCoverEntry(choice, name, (int)index, mode);
        if (choice->bestIndex == (int)index) *chosen = {data, size};
        if (stop) return true;
        haveLongName = lostName = false;
        ++index;
    }
    return true;
}

static bool copySpan(HANDLE from, const TarSpan& span, HANDLE to)
{
    static char chunk[kCopyBytes];
    long long left = span.size;
    LARGE_INTEGER start;
    start.QuadPart = span.at;
    if (!SetFilePointerEx(from, start, NULL, FILE_BEGIN)) return false;
    while (left > 0) {
        DWORD n = left < kCopyBytes ? (DWORD)left : kCopyBytes, got = 0, put = 0;
        if (!ReadFile(from, chunk, n, &got, NULL) || got != n) return false;
        if (!WriteFile(to, chunk, n, &put, NULL) || put != n) return false;
        left -= n;
    }
    return true;
}

int ExtractTarCover(const wchar_t* archive, const wchar_t* destination, int mode)
{
    int result = 0;
    HANDLE out = INVALID_HANDLE_VALUE;
    LARGE_INTEGER fileSize;
    CoverChoice choice;
    TarSpan chosen = {0, 0};
    StartCoverChoice(&choice);
    HANDLE file = CreateFileW(archive, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    if (!GetFileSizeEx(file, &fileSize) || !chooseTarCover(file, fileSize.QuadPart, mode, &choice, &chosen)) goto done;
    if (choice.bestIndex < 0 || chosen.size == 0 || chosen.size > gCoverByteLimit) goto done;
    out = CreateFileW(destination, GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) goto done;
    result = copySpan(file, chosen, out) ? 1 : 0;
done:
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    CloseHandle(file);
    return result;
}
