// Tiny RAR archives written from the published RAR4 and RAR5 formats, every
// entry stored as it is (no compressor needed): for exact name orders and
// for archives whose pages are real pictures. RAR5 entries can also be long
// runs of zeros, compressed the only way such a run needs (one literal, one
// match and its repeats), and any entry can carry an NTFS-stream record.
#pragma once
#include <string>
#include <vector>

struct RarEntry {
    std::wstring name; // RAR4: ASCII only
    std::string data;
    bool directory = false;
    // RAR5: instead of `data`, this many zero bytes, compressed.
    unsigned long long zeros = 0;
    // RAR5, compressed entries: the dictionary the header declares, as a
    // power of two above 128 KiB (15: 4 GiB).
    int dictionaryBits = 0;
    // A stream record stored after the entry: its name (":name") and bytes.
    std::wstring streamName = L"";
    std::string streamData = "";
};

enum RarFormat { kRar4, kRar5 };

struct RarArchive {
    RarFormat format = kRar5;
    bool solid = false;
    // A header too short to be read follows the entries.
    bool brokenTail = false;
    std::vector<RarEntry> entries;
};

// The archive's bytes.
std::string StoredRar(const RarArchive& archive);
