// The versions of the settings file, stored under its version key.
#pragma once

// Files stored below this version carry lists from before every addition
// of settings_upgrade.cpp; they take the built-in lists whole.
constexpr double kListResetVersion = 20210401;
// Stored at the end of every load; raised with each row of additions.
constexpr double kCurrentSettingsVersion = 20261208;
