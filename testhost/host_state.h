// The stand-in host's own state, shared by its files.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "testhost/testhost.h"

namespace testhost
{

struct HostState {
    std::string version = "Vesk 1.0 (stand-in host)";
    std::string stylePath;
    std::string configFolder;
    FILE *echo = nullptr;
    HWND window = nullptr;
    bool windowGone = false; // see LoseHostWindow
    bool sharedReturnBuffer = false;
    std::vector<LogLine> logs;
    std::vector<AboutBox> aboutBoxes;
    std::vector<Execution> executions;
    std::vector<MenuSnapshot> shownMenus;
    std::vector<Registration> registrations;
};

HostState &State();
// Marks a call into the host for as long as it runs (see HostCallDepth).
struct HostCall {
    HostCall();
    ~HostCall();
};
// Prints one formatted line to the echo stream, when there is one.
void Echo(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Renames from over to, replacing it.
bool RenameOver(const char *from, const char *to);
void ResetMenus();
HWND HostWindow();

} // namespace testhost
