#include <gtest/gtest.h>

#include <set>
#include <string>

#include "cache/stream_cache.h"
#include "plugin/state.h"
#include "settings/settings_keys.h"

namespace {

TEST(CacheSignature, HashOfAbcIs12c)
{
    EXPECT_EQ(0x12cull, cacheSignatureHash(L"abc"));
    EXPECT_EQ(1ull, cacheSignatureHash(L""));
}

std::wstring signatureOf(int kind)
{
    buildCacheSignature(kind);
    return gCacheSignature;
}

// Changes one setting's value in memory, and puts it back.
void mutate(const SettingKey& key, bool restore)
{
    static std::wstring savedText;
    static bool savedFlag;
    static int savedNumber;
    static double savedReal;
    if (key.text) {
        if (restore) {
            wcscpy(key.text, savedText.c_str());
        } else {
            savedText = key.text;
            size_t n = wcslen(key.text);
            if (n + 1 < key.capacity) {
                key.text[n] = L'x';
                key.text[n + 1] = 0;
            }
        }
    } else if (key.flag) {
        if (restore) *key.flag = savedFlag;
        else savedFlag = *key.flag, *key.flag = !*key.flag;
    } else if (key.number) {
        if (restore) *key.number = savedNumber;
        else savedNumber = *key.number, *key.number += 1;
    } else if (key.real) {
        if (restore) *key.real = savedReal;
        else savedReal = *key.real, *key.real += 1;
    }
}

TEST(CacheSignature, ChangesWhenAndOnlyWhenASettingOfItsKindChanges)
{
    const std::set<std::wstring> common = {
        L"ffmpegVideoPreInputParams (chars)", L"ffmpegVideoPostInputParams (chars)",
        L"ffmpegSharpenInputParams (chars)", L"OverlayInfo (bool)", L"ffmpegVideoDrawTextAdditional (chars)",
        L"OverlayHideHoursIfZero (bool)", L"FontSize (int)", L"FontSizeLine2 (int)", L"FontSizeLine3 (int)",
        L"FontColor (chars)", L"TextLine1XPos (int)", L"TextLine1YPos (int)", L"TextLine2XPos (int)",
        L"TextLine2YPos (int)", L"TextLine3XPos (int)", L"TextLine3YPos (int)"};
    std::set<std::wstring> video = {L"ffmpegVideo_LR (chars)", L"ffmpegVideo_TB (chars)",
                                    L"ffmpegVideo_VR_LR (chars)", L"ffmpegVideo_VR_TB (chars)",
                                    L"ffmpegVideo_VR_180 (chars)", L"ffmpegVideo_VR_360 (chars)",
                                    L"3DSupport (bool)", L"PercentPosition (double)"};
    std::set<std::wstring> audio = {L"AudioCoverHasPriority (bool)", L"ffmpegAudioPostInputParams (chars)",
                                    L"AudioColorLeft (chars)", L"AudioColorRight (chars)",
                                    L"AudioTimeMaxInSecs (double)", L"AudioShowFadeInOut (bool)",
                                    L"AudioIdealFadeInOutInSecs (double)", L"AudioSeparatorThickness (int)",
                                    L"ffmpegAudioSmoothen (bool)"};
    video.insert(common.begin(), common.end());
    audio.insert(common.begin(), common.end());
    const std::set<std::wstring> picture = {L"irfanviewMidInputParam (chars)"};
    const std::set<std::wstring>* byKind[6] = {nullptr, &video, &audio, &picture, &picture, &picture};

    gPositionActive = false;
    for (int kind = 1; kind <= 5; ++kind) {
        const std::wstring base = signatureOf(kind);
        for (const SettingKey& key : gSettingKeys) {
            mutate(key, false);
            const std::wstring changed = signatureOf(kind);
            mutate(key, true);
            bool enters = byKind[kind]->count(key.name) != 0;
            EXPECT_EQ(enters, changed != base) << "kind " << kind << ", key " << testing::PrintToString(
                                                       std::wstring(key.name));
            ASSERT_EQ(base, signatureOf(kind)) << "value not restored";
        }
    }
}

TEST(CacheSignature, VideoSignatureFollowsThePositionInForce)
{
    gPositionActive = false;
    const std::wstring atStart = signatureOf(1);
    gPositionActive = true;
    gCurrentPosition = 50;
    const std::wstring atHalf = signatureOf(1);
    EXPECT_NE(atStart, atHalf);
    EXPECT_EQ(signatureOf(3), (gPositionActive = false, signatureOf(3))) << "pictures do not rotate";
    gCurrentPosition = 0;
}

TEST(CacheSignature, UnusuallyLongValuesStillGiveAFixedSignature)
{
    // Four list-sized values: the text hashed is far longer than any buffer.
    std::wstring saved[4];
    const SettingKey* keys[4] = {};
    int found = 0;
    for (const SettingKey& key : gSettingKeys)
        if (key.text && key.capacity >= 4096 && found < 4 &&
            std::wstring(key.name).find(L"ffmpegVideo_") == 0)
            keys[found++] = &key;
    ASSERT_EQ(4, found);
    for (int i = 0; i < 4; ++i) {
        saved[i] = keys[i]->text;
        std::wstring big(4095, (wchar_t)(L'a' + i));
        wcscpy(keys[i]->text, big.c_str());
    }
    const std::wstring first = signatureOf(1);
    EXPECT_EQ(first, signatureOf(1));
    keys[3]->text[4094] = L'z';
    EXPECT_NE(first, signatureOf(1));
    for (int i = 0; i < 4; ++i) wcscpy(keys[i]->text, saved[i].c_str());
}

} // namespace
