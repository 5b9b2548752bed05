// Test-only control of the loader's module-wide state. The production
// plug-in never calls these.
#pragma once

// Forgets the settings file path, the path latch, the file-time snapshot
// and any module name given below, as if the module had just been loaded.
// The values of the keys stay as they are.
void ResetSettingsForTests();

// Makes the loader form the settings file path from `moduleFileName`
// instead of the module's real file name (null: the real one again).
// The text must outlive its use.
void SetSettingsModuleNameForTests(const wchar_t* moduleFileName);

// The settings file path in use ("" when none is formed).
const wchar_t* SettingsFilePathForTests();
