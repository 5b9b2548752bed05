// Drives thumbnail requests through ListGetPreviewBitmapW inside the unit
// test program: settings from a scratch folder, and a stand-in generator
// that copies a JPEG and handles the stream cache as every generator does.
#pragma once
#include <windows.h>

#include "support/file_times.h"

#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::wstring, std::wstring>> SettingsValues;

// Points the plug-in's settings at <folder>\vistrel.ini, written with these
// values (every other key takes its default on the first load).
void UseSettingsIn(const std::wstring& folder, const SettingsValues& values);
// Changes one key of the settings file in use; the next request reloads.
void ChangeSetting(const std::wstring& folder, const std::wstring& key, const std::wstring& value);
// Back to the module's own settings path, as at load.
void ForgetTestSettings();

struct StandInGenerator {
    int calls = 0;
    std::wstring jpeg;         // copied to the output path
    bool touchSource = true;   // stamp the source's times while writing, as NTFS does
    bool handleCache = true;   // capture / record / restore as the real generators do
    int lastKind = 0;
    bool lastUsedCache = false;
    bool lastCacheFailed = false;
    std::wstring lastOut;
    double lastPosition = -1; // frame position in force while generating
};
// Installs `generator` as the stand-in for every media kind (null removes it).
void InstallStandInGenerator(StandInGenerator* generator);

// One request through the exported entry; true when a bitmap came back
// (which is then deleted), with its size.
bool RequestThumbnailSize(const std::wstring& path, int width, int height, SIZE* size = nullptr);

// A JPEG that the decoder accepts, from the fixtures.
std::wstring FixtureJpeg();


// Profile value of a stream or file ("" when missing).
std::wstring ReadProfile(const std::wstring& file, const std::wstring& key);
