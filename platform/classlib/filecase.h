// Finding a file whose name may differ in letter case: pictures and skins written on a system that
// ignores case name their companion files in any case.
#pragma once

#include <string>

// The name of an existing file: FileName itself when it exists, else the first file of the same
// folder whose name, as a program path (cp1254::PathFromUtf8), equals FileName's ignoring ASCII
// letter case (the folder part kept as given); "" when there is none.
std::string FindFileIgnoringCase(const std::string& FileName);
