// Stereo-3D and VR layouts chosen from file-name markers and extensions.
#include <gtest/gtest.h>

#include "generators/media_layout.h"

namespace {

const StereoFilters kFilters = {L"LR", L"TB", L"VRLR", L"VRTB", L"V180", L"V360"};

TEST(StereoLayout, MarkersAndProjectionsSelectFiltersAndLabels)
{
    struct Case {
        const wchar_t* name; // name part, as GetFileNamePart leaves it
        const wchar_t* extension;
        const wchar_t* first; // null: no layout
        const wchar_t* second;
        const wchar_t* label;
        bool halves;
    } const cases[] = {
        {L"photo", L"JPS", L"LR", nullptr, L"3D", false},
        {L"photo", L"pns", L"LR", nullptr, L"3D", false},
        {L"photo_TB", L"jps", L"LR", nullptr, L"3D", false}, // the extension comes first
        {L"photo_180", L"JPS", nullptr, nullptr, nullptr, false},
        {L"photo_SBS_360", L"JPS", nullptr, nullptr, nullptr, false},
        {L"clip_SBS", L"mkv", L"LR", nullptr, L"3D", false},
        {L"clip_LR", L"mp4", L"LR", nullptr, L"3D", false},
        {L"clip_TB", L"mp4", L"TB", nullptr, L"3D", true},
        {L"clip_OverUnder", L"mp4", L"TB", nullptr, L"3D", true},
        {L"clip_SBS_180", L"mkv", L"VRLR", L"V180", L"VR 180", false},
        {L"clip_LR_180", L"mkv", L"VRLR", L"V180", L"VR 180", false},
        {L"clip_TB_180", L"mkv", L"VRTB", L"V180", L"VR 180", true},
        {L"clip_OverUnder_180", L"mkv", L"VRTB", L"V180", L"VR 180", true},
        {L"clip_MONO_180", L"mkv", L"V180", nullptr, L"VR 180 MONO", false},
        {L"clip_SBS_360", L"mkv", L"VRLR", L"V360", L"VR 360", false},
        {L"clip_OverUnder_360", L"mkv", L"VRTB", L"V360", L"VR 360", true},
        {L"clip_TB_360", L"mkv", L"VRTB", L"V360", L"VR 360", true},
        {L"clip_MONO_360", L"mkv", L"V360", nullptr, L"VR 360 MONO", false},
        {L"clip_360_180_SBS", L"mkv", L"VRLR", L"V180", L"VR 180", false}, // 180 wins, wherever it stands
        {L"clip_SBS_TB", L"mkv", L"LR", nullptr, L"3D", false}, // first layout in the order wins
        {L"clip_MONO", L"mkv", nullptr, nullptr, nullptr, false},
        {L"clip_180", L"mkv", nullptr, nullptr, nullptr, false},
        {L"clip_sbs", L"mkv", nullptr, nullptr, nullptr, false}, // markers are case-sensitive
        {L"clip_mono_180", L"mkv", nullptr, nullptr, nullptr, false},
        {L"clip_Sbs_360", L"mkv", nullptr, nullptr, nullptr, false},
        {L"clip", L"mkv", nullptr, nullptr, nullptr, false},
        {L"TB_starts_without_underscore", L"mkv", nullptr, nullptr, nullptr, false},
        {L"holiday_LRoad", L"mkv", L"LR", nullptr, L"3D", false}, // anywhere in the name
    };
    for (const Case& c : cases) {
        StereoLayout layout;
        bool found = FindStereoLayout(c.name, c.extension, &kFilters, &layout);
        SCOPED_TRACE(testing::Message() << (const wchar_t*)c.name << "." << (const wchar_t*)c.extension);
        ASSERT_EQ(c.first != nullptr, found);
        if (!found) continue;
        ASSERT_EQ(c.second ? 2 : 1, layout.filterCount);
        EXPECT_STREQ(c.first, layout.filters[0]);
        if (c.second) {
            EXPECT_STREQ(c.second, layout.filters[1]);
        }
        EXPECT_STREQ(c.label, layout.label);
        EXPECT_EQ(c.halves, layout.halvesHeight);
    }
}

} // namespace
