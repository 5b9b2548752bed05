// The reference of the settings is made from the key table: every key must
// have its meaning, and no meaning may outlive its key.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/settings_help.h"
#include "settings/settings_keys.h"

TEST(SettingHelp, EveryKeyHasAMeaningAndEveryMeaningAKey)
{
    std::set<std::wstring> keys = {kSettingsVersionKey};
    for (const SettingKey& key : gSettingKeys) keys.insert(key.name);
    for (const std::wstring& key : keys) {
        const wchar_t* meaning = SettingMeaning(key.c_str());
        EXPECT_TRUE(meaning && meaning[0]) << "no meaning for the key \"" << std::string(key.begin(), key.end())
                                           << "\" in src/settings/settings_help.cpp";
    }
    std::set<std::wstring> described;
    for (size_t i = 0; i < gSettingHelpCount; ++i) {
        std::wstring name = gSettingHelp[i].name;
        EXPECT_TRUE(keys.count(name)) << "a meaning for a key that is not in the table: "
                                      << std::string(name.begin(), name.end());
        EXPECT_TRUE(described.insert(name).second) << "two meanings for " << std::string(name.begin(), name.end());
    }
}
