// The program block of the messenger, shared by the executable and the scripted tests.
#pragma once

namespace tolvar {

// Removes the temporary files of saves an earlier run left unfinished (see win::RemoveStaleTemporaries),
// sets the application title and creates the nineteen windows, each into its global instance, in
// numeric order (so their creation handlers run in that order; the first is the main form).
void CreateForms();

// What the message loop does first: shows the main form (every other window starts hidden).
void ShowMainForm();

}  // namespace tolvar
