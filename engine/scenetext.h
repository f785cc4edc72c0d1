// Text output shared by the engine's text writers (configuration text, mesh
// export): numbers that do not follow the process locale, and whole files.
#pragma once
#include <string>
#include <string_view>

// A real with exactly four decimals, as "%.4f" of the C locale writes it
// (60.0000, -0.5000, and -0.0000 for a negative zero), whatever the locale.
std::string SceneFormatNumber(float value);
// Creates or replaces the file ("\" in the name is a folder separator) with
// the text: ERR_NONE, or ERR_CANTCREATE when it cannot be created or written.
int SceneWriteTextFile(std::string_view fileName, std::string_view text);
