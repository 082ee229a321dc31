// Where the controls of the send window, the SuperOnline login window, the settings window and the
// wait window sit in their client areas (their design bounds), and the fonts the windows' controls
// are designed with, applied once the windows are created.
#pragma once

namespace messenger {

// Gives Form2, Form3 and Form9 their client sizes and their controls' bounds, Form18's controls
// their bounds, and the controls of the contact, news, FAQ, about, history and wait windows their
// fonts (SetWindowFonts).
void LayOutWindows();

// The fonts: the contact windows' bold labels and Verdana name field, the news window's bold
// announcements, the FAQ heading, the about box's title, the history list and the wait window's
// label and bar. Every other control keeps its form's font.
void SetWindowFonts();

}  // namespace messenger
