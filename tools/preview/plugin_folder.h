// The plug-in folder belongs to one preview at a time: its settings file and
// its copy of the module are that run's. A second preview on the same folder
// gets a fresh temporary folder instead.
#pragma once

#include <string>

namespace preview
{

// Takes the folder for this run (a lock on a file in it, let go when the
// preview ends in any way). False when another preview holds it.
bool HoldPluginFolder(const std::string &folder);

// A new, empty folder under the system's temporary folder.
bool MakeFreshFolder(std::string &folder);

// Removes the folder and everything in it.
void RemoveFolder(const std::string &folder);

} // namespace preview
