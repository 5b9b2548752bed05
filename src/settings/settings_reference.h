// The reference of every setting: name, type, default and meaning, made
// from the key table and the table of meanings, as `vistrel-host settings`
// prints it and docs/vistrel-settings.txt ships it.
#pragma once
#include <stdio.h>

// Writes the reference as UTF-8 text with "\n" line ends; false when a key
// has no meaning or the writing failed.
bool WriteSettingsReference(FILE* out);
