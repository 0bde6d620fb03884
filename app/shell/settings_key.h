#pragma once

// The key of the program's settings in the settings store, shared by the
// window and the headless command.
constexpr const char* kDaubrySettingsKey = "Software\\Ferrow\\Daubry";
