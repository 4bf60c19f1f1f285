// A picture of the ten lights as they stand, as an SVG file: bulbs as
// circles, strips as rows of 82 zones, each labelled.
#pragma once

#include <string>

#include "tools/preview/light_views.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

// False when the file cannot be written.
bool WriteSnapshot(const std::string &path, const Lights &lights, const PluginSettings &settings);

} // namespace preview
