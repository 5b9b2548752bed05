// The soak run's inputs: a seeded generator, the corpus table, damaged
// copies and JPEGs, adversarial names and the settings it draws from.
// bench/soak.cpp runs the requests and checks them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Small seeded generator, so that a run can be repeated exactly.
struct SoakRandom {
    unsigned long long state;
    explicit SoakRandom(unsigned long long seed) : state(seed * 2862933555777941757ULL + 3037000493ULL) {}
    unsigned next();
    unsigned below(unsigned n); // 0 .. n-1; 0 when n is 0
    bool chance(unsigned percent);
};

// What is done to a sample's copy before it is asked for.
enum class Damage { None, Truncated, BitFlipped };

// One row of the corpus: copies of these samples, made once and asked for
// again and again. `readSample` gives a sample's bytes by its name (from
// the media set, or the comic and album fixtures); false when it is missing.
struct CorpusRow {
    const char* name;
    bool (*readSample)(const std::wstring& name, std::string* bytes);
    const wchar_t* const* samples;
    size_t sampleCount;
    Damage damage;
    int copies;
    bool plantable; // its thumbnails are taken into the stream cache
};
extern const CorpusRow kSoakCorpus[];
extern const size_t kSoakCorpusRows;

// A new name for a copy of `sample` in `folder` (trailing backslash): plain,
// CJK, full of '%', '!', '&' and '^', or long enough to fill 259 characters.
std::wstring SoakFileName(SoakRandom& random, const std::wstring& folder, const std::wstring& sample, int serial);
// `bytes` damaged as the row says (never grown).
void DamageBytes(SoakRandom& random, Damage damage, std::string* bytes);

// The JPEGs planted as cached thumbnails, made from a real one: cut,
// bit-flipped, declaring a huge size, progressive bombs, no JPEG at all.
struct PlantedJpeg {
    const char* name;
    std::string bytes;
};
PlantedJpeg MakePlantedJpeg(SoakRandom& random, const std::string& thumbnail);
extern const char* const kPlantedKinds[];
extern const size_t kPlantedKindCount;

// What a wrapper ffprobe prints instead of the real answer.
std::wstring JunkProbeOutput(SoakRandom& random);

// Settings keys and the values a run picks from. Tool paths are filled in
// at the start (`wrapperProbe` and so on are the run's own programs).
struct SettingChoice {
    std::wstring key;
    std::vector<std::wstring> values; // the first is the run's baseline
};
struct SoakTools {
    std::wstring ffmpeg, ffprobe; // logging wrappers around the real tools
    std::wstring junkProbe; // prints JunkProbeOutput
    std::wstring batchProbe; // a .bat that runs the wrapper
    std::wstring converter; // the converter stand-in of the staged plug-in folder
    std::wstring batchConverter; // a .bat that runs the converter
    std::wstring missing; // a path where no program is
};
std::vector<SettingChoice> SoakSettingChoices(const SoakTools& tools);
