// Text commands and the plug-in menu that issues them.
#pragma once

// Carries out a broadcast command addressed to this plug-in; other texts are
// ignored. Always returns 0.
int HandleCommand(const char *text);

// The verbs of the command table, in the order they are tested; null past
// the last.
const char *CommandVerb(int index);

// Deletes the previous menu, builds the menu afresh from the settings and
// shows it.
void ShowPluginMenu();

// The user guide, one page shipped beside the module.
#define DOCUMENTATION_FILE_NAME "Chromalet-LIFX.html"
#define PROTOCOL_ADDRESS "https://lan.developer.lifx.com/docs"
#define ABOUT_TITLE "About this plugin..."
void ForgetPluginMenu();
