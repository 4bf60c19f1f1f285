// The texts by which the plug-in names itself.
#pragma once

#define PLUGIN_NAME "Chromalet-LIFX"
#define PLUGIN_VERSION "1.0"
#define PLUGIN_FULL_NAME PLUGIN_NAME " " PLUGIN_VERSION
#define PLUGIN_RELEASE_DATE "2021-02-20"
#define PLUGIN_AUTHOR "The Chromalet-LIFX maintainers"
#define PLUGIN_WEB_LINK "https://chromalet.org/lifx/"
#define PLUGIN_EMAIL "maintainers@chromalet.org"
#define PLUGIN_LOG_PREFIX PLUGIN_NAME " -> "
#define PLUGIN_COMMAND_PREFIX "@" PLUGIN_NAME
