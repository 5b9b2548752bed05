#include "rar_writer.h"

#include <zlib.h>

#include "scratch.h"

namespace {

void put16(std::string& out, unsigned value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned long value)
{
    put16(out, value & 0xFFFF);
    put16(out, (value >> 16) & 0xFFFF);
}

void putVint(std::string& out, unsigned long long value)
{
    do {
        unsigned char byte = value & 0x7F;
        value >>= 7;
        out += char(value ? byte | 0x80 : byte);
    } while (value);
}

unsigned long crcOf(const std::string& bytes)
{
    return crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
}

// The CRC32 of `count` zero bytes, by doubling: gigabytes are not summed.
// zlib's combining takes lengths as a 32-bit long here, so no step joins
// more than 2^30 bytes.
unsigned long crcOfZeros(unsigned long long count)
{
    const int kSteps = 31;
    unsigned long zerosOf[kSteps]; // of 2^i bytes
    zerosOf[0] = crc32(0, reinterpret_cast<const Bytef*>("\0"), 1);
    for (int i = 1; i < kSteps; ++i) zerosOf[i] = crc32_combine(zerosOf[i - 1], zerosOf[i - 1], 1L << (i - 1));
    unsigned long crc = 0;
    for (; count >= (1ULL << 30); count -= 1ULL << 30) crc = crc32_combine(crc, zerosOf[30], 1L << 30);
    for (int i = 29; i >= 0; --i)
        if (count & (1ULL << i)) crc = crc32_combine(crc, zerosOf[i], 1L << i);
    return crc;
}

// Bits, highest first, as the RAR5 decoder reads them.
struct BitWriter {
    std::string bytes;
    unsigned long long bits = 0;
    void put(unsigned value, int count)
    {
        for (int i = count - 1; i >= 0; --i, ++bits) {
            if (bits % 8 == 0) bytes += '\0';
            if ((value >> i) & 1) bytes.back() = char(bytes.back() | (0x80 >> (bits % 8)));
        }
    }
};

// One RAR5 compressed block of `count` zeros. Main codes: match slot 305
// (length 4097) "11", literal 0 "10", repeat-last-match 257 "0"; distance
// slot 0 (distance 1) "0". The table of code lengths is itself coded with
// four two-bit codes: length 1 "00", length 2 "01", short and long runs of
// zero lengths "10" and "11".
std::string compressedZeros(unsigned long long count)
{
    BitWriter w;
    auto length = [&](unsigned bits) { w.put(bits == 1 ? 0 : 1, 2); };
    auto zeroRun = [&](unsigned n) { // 11..138 at a time
        for (; n; ) {
            unsigned take = n > 138 ? 138 : n;
            if (n - take > 0 && n - take < 11) take = n - 11;
            w.put(3, 2);
            w.put(take - 11, 7);
            n -= take;
        }
    };
    // The 20 lengths of the table's own code: symbols 1, 2, 18 and 19.
    for (int symbol = 0; symbol < 20; ++symbol)
        w.put(symbol == 1 || symbol == 2 || symbol == 18 || symbol == 19 ? 2 : 0, 4);
    length(2);     // literal 0
    zeroRun(256);  // 1..256
    length(1);     // 257
    zeroRun(47);   // 258..304
    length(2);     // 305: length slot 43
    length(1);     // distance slot 0
    length(1);     // distance slot 1 (unused, completes the code)
    zeroRun(122);  // the rest of the distance, low-distance and repeat tables
    w.put(2, 2);   // the first zero
    --count;
    unsigned long long matches = count / 4097, rest = count % 4097;
    if (matches) {
        w.put(3, 2);
        w.put(511, 9); // 2 + (7 << 9) + 511 = 4097
        w.put(0, 1);
    }
    for (unsigned long long i = 1; i < matches; ++i) w.put(0, 1);
    for (unsigned long long i = 0; i < rest; ++i) w.put(2, 2);

    unsigned size = (unsigned)w.bytes.size();
    unsigned sizeBytes = size < 0x100 ? 1 : size < 0x10000 ? 2 : 3;
    unsigned lastBits = unsigned(w.bits - 8ULL * (size - 1));
    unsigned char flags = (unsigned char)(0x80 | 0x40 | ((sizeBytes - 1) << 3) | (lastBits - 1));
    std::string out;
    out += char(flags);
    out += char(0x5A ^ flags ^ (size & 0xFF) ^ ((size >> 8) & 0xFF) ^ ((size >> 16) & 0xFF));
    for (unsigned i = 0; i < sizeBytes; ++i) out += char((size >> (8 * i)) & 0xFF);
    return out + w.bytes;
}

// RAR4 blocks start with the low half of the CRC32 of the rest.
void block4(std::string& out, const std::string& header)
{
    put16(out, crcOf(header) & 0xFFFF);
    out += header;
}

// RAR5 blocks: CRC32 of the size field and the header, then both.
void block5(std::string& out, const std::string& header)
{
    std::string sized;
    putVint(sized, header.size());
    sized += header;
    put32(out, crcOf(sized));
    out += sized;
}

std::string rar4(const RarArchive& archive)
{
    std::string out("Rar!\x1a\x07\x00", 7), main;
    main += char(0x73);
    put16(main, archive.solid ? 0x0008 : 0);
    put16(main, 13);
    put16(main, 0);
    put32(main, 0);
    block4(out, main);
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const RarEntry& e = archive.entries[i];
        std::string name = Utf8(e.name), h; // ASCII names only
        h += char(0x74);
        put16(h, 0x8000 | (e.directory ? 0x00E0 : 0) | (archive.solid && i ? 0x0010 : 0));
        put16(h, unsigned(32 + name.size()));
        put32(h, (unsigned long)e.data.size()); // packed
        put32(h, (unsigned long)e.data.size()); // unpacked
        h += char(2);                           // written on Windows
        put32(h, crcOf(e.data));
        put32(h, 0x50210000); // 2020-01-01 as a DOS time
        h += char(20);        // version needed
        h += char(0x30);      // stored
        put16(h, unsigned(name.size()));
        put32(h, e.directory ? 0x10 : 0x20);
        block4(out, h + name);
        out += e.data;
        if (e.streamName.empty()) continue;
        std::string s;
        s += char(0x7A);
        put16(s, 0x8000);
        std::string sub;
        for (wchar_t c : e.streamName) put16(sub, c); // UTF-16
        put16(s, unsigned(32 + 3 + sub.size()));
        put32(s, (unsigned long)e.streamData.size()); // packed
        put32(s, (unsigned long)e.streamData.size()); // unpacked
        s += char(2);
        put32(s, crcOf(e.streamData));
        put32(s, 0x50210000);
        s += char(20);
        s += char(0x30);
        put16(s, 3);
        put32(s, 0);
        block4(out, s + "STM" + sub);
        out += e.streamData;
    }
    std::string end;
    end += char(archive.brokenTail ? 0x74 : 0x7B);
    put16(end, archive.brokenTail ? 0x8000 : 0x4000);
    put16(end, archive.brokenTail ? 5 : 7); // 5: shorter than any header
    block4(out, end);
    return out;
}

std::string rar5(const RarArchive& archive)
{
    std::string out("Rar!\x1a\x07\x01\x00", 8), main;
    putVint(main, 1);
    putVint(main, 0);
    putVint(main, archive.solid ? 0x0004 : 0);
    block5(out, main);
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const RarEntry& e = archive.entries[i];
        std::string name = Utf8(e.name), h;
        std::string packed = e.zeros ? compressedZeros(e.zeros) : e.data;
        unsigned long long size = e.zeros ? e.zeros : e.data.size();
        putVint(h, 2);                      // file header
        putVint(h, e.directory ? 0 : 0x02); // data area follows
        if (!e.directory) putVint(h, packed.size());
        putVint(h, e.directory ? 0x01 : 0x04); // directory, or CRC32 present
        putVint(h, size);
        putVint(h, e.directory ? 0x10 : 0x20);
        if (!e.directory) put32(h, e.zeros ? crcOfZeros(e.zeros) : crcOf(e.data));
        // Method 1 when compressed, with its dictionary; continuing the solid stream
        unsigned long long compression = archive.solid && i ? 0x40 : 0;
        if (e.zeros) compression |= (1 << 7) | ((unsigned long long)e.dictionaryBits << 10);
        putVint(h, compression);
        putVint(h, 0); // written on Windows
        putVint(h, name.size());
        block5(out, h + name);
        out += packed;
        if (e.streamName.empty()) continue;
        std::string stream = Utf8(e.streamName), extra, s;
        putVint(extra, 1 + stream.size()); // the record: its type, then the name
        putVint(extra, 7);
        extra += stream;
        putVint(s, 3);       // service header
        putVint(s, 0x03);    // extra area and data area
        putVint(s, extra.size());
        putVint(s, e.streamData.size());
        putVint(s, 0x04);    // CRC32 present
        putVint(s, e.streamData.size());
        putVint(s, 0);
        put32(s, crcOf(e.streamData));
        putVint(s, 0);       // stored
        putVint(s, 0);
        putVint(s, 3);
        block5(out, s + "STM" + extra);
        out += e.streamData;
    }
    // A header of size 0, with the bytes that every header has at least.
    if (archive.brokenTail) return out + std::string(8, '\0');
    std::string end;
    putVint(end, 5);
    putVint(end, 0);
    putVint(end, 0);
    block5(out, end);
    return out;
}

} // namespace

std::string StoredRar(const RarArchive& archive)
{
    return archive.format == kRar4 ? rar4(archive) : rar5(archive);
}
