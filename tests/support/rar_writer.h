// Tiny RAR archives written from the published RAR4 and RAR5 formats, every
// entry stored as it is (no compressor needed): for exact name orders and
// for archives whose pages are real pictures.
#pragma once
#include <string>
#include <vector>

struct RarEntry {
    std::wstring name; // RAR4: ASCII only
    std::string data;
    bool directory = false;
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
