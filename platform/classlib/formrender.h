// The headless render of a form: what a person would see of it, as a PNG file.
#pragma once

#include <string>

class TCustomForm;

namespace headless {

// Paints the form's graphic controls into its window's backing surface (a 32-bit bitmap of the
// client size, white where nothing paints) and writes the surface as an RGBA PNG, alpha 0 outside
// the window's region. `path` is a program path. False when the form has no window or the file
// cannot be written.
bool RenderFormPng(TCustomForm* form, const std::string& path);

}  // namespace headless
