#include "tools/preview/preview.h"

#include "tools/preview/scripts.h"

namespace preview
{

std::string LightsLabel(const Preview &preview)
{
    if (!preview.lights.enabled)
        return "no emulated lights";
    std::string first = preview.lights.addresses[0];
    return "lights " + first + "-" + std::to_string(preview.lights.count);
}

std::string LightsRemark(const Preview &preview)
{
    const Lights &lights = preview.lights;
    std::string range = std::string(lights.addresses[0]) + " to " +
                        lights.addresses[lights.count > 0 ? lights.count - 1 : 0];
    if (!lights.ownHome)
        return "emulated lights: bulbs 1-8 and strips 9-10 at " + range;
    std::string list;
    for (int n = 0; n < lights.count; n++) {
        const LightView &view = lights.views[n];
        const HomeLight &light = preview.home.lights[(size_t)n];
        std::string shape = light.zones           ? " " + std::to_string(light.zones)
                            : light.chain.empty() ? ""
                                                  : " " + light.chain;
        list += (n ? ", " : "") + std::to_string(n + 1) + " " + light.kind + shape + " \"" +
                view.label + "\"";
    }
    return "emulated lights of the home \"" + preview.home.name + "\" at " + range + ": " + list;
}

std::string Remark(const std::string &text)
{
    return "[preview] " + text;
}

std::string FolderRemark(const Preview &preview)
{
    const std::string &folder = preview.options.pluginFolder;
    if (preview.busyFolder.empty())
        return Remark("plug-in folder: " + folder);
    return Remark("another preview is using " + preview.busyFolder +
                  ": this run uses a temporary plug-in folder, " + folder +
                  ", removed at its end (--plugin-dir DIR names another)");
}

std::string Shortened(const Preview &preview, const std::string &line)
{
    const std::string &folder = preview.hostFolderText;
    std::string text = line;
    size_t at = folder.empty() ? std::string::npos : text.find(folder);
    if (at != std::string::npos)
        text.erase(at, folder.size());
    return text;
}

bool PrepareSetup(Preview &preview, std::vector<std::string> &lines, std::string &reason)
{
    PluginSettings settings;
    ReadPluginSettings(preview.settingsPath, settings);
    if (!SettingsAllowed(settings, reason))
        return false;
    bool debugChanged = false;
    if (preview.options.debug >= 0 && settings.exists &&
        settings.debug != (preview.options.debug == 1)) {
        debugChanged =
            SetBooleanSetting(preview.settingsPath, "lifx.debug:", preview.options.debug == 1);
    }
    lines =
        SetupLines(preview.lights, settings,
                   preview.options.lossPercent > 0 ? kLossyDiscoverySeconds : kDiscoverySeconds);
    if (debugChanged && lines.empty())
        lines.push_back(":restart");
    return true;
}

} // namespace preview
