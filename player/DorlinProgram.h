// Dorlin's program block: the start-up and shutdown of the modules it uses, in order, and the
// creation of the main window; and the console commands that drive its skinned windows.
#pragma once

#include <functional>
#include <string>

class TSkinForm;
class TCustomForm;

namespace dorlin {

// The picture modules in module order (one table: start-up in order, shutdown in reverse).
void Startup();
void Shutdown();

// Creates the main window (its settings are read) as the application's main form.
void CreateMainForm();

// The skinned-window control of a form, or nullptr.
TSkinForm* SkinOf(TCustomForm* form);

// A console line of the player's own ("skin FORM click ID", ...): true when it took the line.
// Raises headless::EScriptError for a bad one.
bool SkinCommand(const std::string& line);
// Run by the commands that let the message loop run, after each look at the queue (the console
// prints the displays there).
extern std::function<void()> ConsoleIdle;
extern const char* const kSkinCommandHelp;

// Calls Print with a line "text FORM.ID \"TEXT\"" for every display of a visible skinned form
// whose text changed since the last call.
void ReportDisplays(const std::function<void(const std::string&)>& Print);

}  // namespace dorlin
