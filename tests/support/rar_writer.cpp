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
        putVint(h, 2);                      // file header
        putVint(h, e.directory ? 0 : 0x02); // data area follows
        if (!e.directory) putVint(h, e.data.size());
        putVint(h, e.directory ? 0x01 : 0x04); // directory, or CRC32 present
        putVint(h, e.data.size());
        putVint(h, e.directory ? 0x10 : 0x20);
        if (!e.directory) put32(h, crcOf(e.data));
        putVint(h, archive.solid && i ? 0x40 : 0); // stored, continuing the solid stream
        putVint(h, 0);                             // written on Windows
        putVint(h, name.size());
        block5(out, h + name);
        out += e.data;
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
