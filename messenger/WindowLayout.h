// Where the controls of the send window, the SuperOnline login window and the settings window sit
// in their client areas (their design bounds), applied once the windows are created.
#pragma once

namespace messenger {

// Gives Form2, Form3 and Form9 their client sizes and their controls' bounds.
void LayOutWindows();

}  // namespace messenger
