// The lines the preview sends on its own: the first-run set-up that points
// the plug-in at the emulated lights, the built-in tour, and the checks
// that keep every datagram on loopback.
#pragma once

#include <string>
#include <vector>

#include "tools/preview/light_views.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

// How long a discovery takes, its saving included: the set-up waits that long.
// Where the lights lose datagrams it goes on asking, six seconds at most.
enum { kDiscoverySeconds = 3, kLossyDiscoverySeconds = 7 };

// The range of the emulated lights, "127.56.G.0/28".
std::string LightsRange(const Lights &lights);
// A "Discover" command of the plug-in.
bool IsDiscover(const std::string &line);

// Through the plug-in's own commands: with every slot empty, the plug-in
// finds the emulated lights itself (Discover over their range), as on a
// user's first run, and the lights stay as they are until a scheme is
// chosen; otherwise each slot whose address is not the emulated light's is
// set to it. Then a restart, so that the start-up shows what it would. Empty
// when the folder already points at these lights.
std::vector<std::string> SetupLines(const Lights &lights, const PluginSettings &settings,
                                    int searchSeconds = kDiscoverySeconds);

// The built-in tour: schemes, cycling, the move effect, suspend and resume,
// calibration, single lights. Lines beginning with "# " are narration.
// It starts from the settings as they are (turning cycling, the move effect
// and reverse direction off first, automatic power on).
std::vector<std::string> TourLines(const PluginSettings &before);
// What puts the settings back after the tour (scheme, flags, numbers).
std::vector<std::string> RestoreLines(const PluginSettings &before, const PluginSettings &after);

// The events of the host scripts, as the host program knows them.
bool IsHostEvent(const std::string &line);
// ":silence N" (light N of the home stops hearing and answering, as if
// switched off at the wall) or ":answer N" (it comes back): the light and
// which of the two.
bool SilenceEvent(const std::string &line, int &device, bool &silent);
// What the preview says when it did so, or why it could not.
std::string SilenceNote(const Lights &lights, int device, bool silent, bool done);

// A ":wait MS" line: its milliseconds.
bool WaitMilliseconds(const std::string &line, long &ms);

// False, with the reason, for a line that would have the plug-in send
// outside 127.0.0.0/8: a Device command with such an address.
bool CommandAllowed(const std::string &line, std::string &reason);
// False, with the reason, for a Discover that would search beyond loopback:
// a broadcast, or an address or range outside 127.0.0.0/8.
bool DiscoverAllowed(const std::string &line, const Lights &lights, std::string &reason);
// False, with the reason, when a device slot of the settings file holds an
// address outside 127.0.0.0/8 or a text the plug-in would send to as
// 255.255.255.255.
bool SettingsAllowed(const PluginSettings &settings, std::string &reason);

} // namespace preview
