// The default skin, drawn in code: "skin.ini" and "Equalizer.ini" with their pictures (the faces,
// the shaped mask, the digit and letter glyphs, the thumbs), written into a folder at the first
// start, so that Dorlin starts without any skin of its own.
#pragma once

#include <string>

namespace dorlin {

// Writes the default skin into Folder (a program path with a trailing backslash, made when
// missing). Raises EFCreateError when a file cannot be written.
void InstallDefaultSkin(const std::string& Folder);

}  // namespace dorlin
