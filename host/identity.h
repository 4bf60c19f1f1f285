// The texts by which the plug-in names itself.
#pragma once

#define PLUGIN_NAME "Chromalet-LIFX"
#define PLUGIN_VERSION "1.2"
// The same version as the four numbers of the module's version resource.
#define PLUGIN_VERSION_NUMBERS 1, 2, 0, 0
#define PLUGIN_FULL_NAME PLUGIN_NAME " " PLUGIN_VERSION
#define PLUGIN_RELEASE_DATE "2026-12-10"
#define PLUGIN_DESCRIPTION "LIFX lights that follow your desktop: a plug-in for Vesk"
#define PLUGIN_FILE_NAME PLUGIN_NAME ".dll"
#define PLUGIN_AUTHOR "The Chromalet-LIFX maintainers"
#define PLUGIN_COPYRIGHT "Copyright (c) 2021-2026 " PLUGIN_AUTHOR "; MIT License"
// Empty until the project has a public home of its own: an address the
// project does not hold would send users to whoever does.
#define PLUGIN_WEB_LINK ""
#define PLUGIN_EMAIL ""
#define PLUGIN_LOG_PREFIX PLUGIN_NAME " -> "
#define PLUGIN_COMMAND_PREFIX "@" PLUGIN_NAME
