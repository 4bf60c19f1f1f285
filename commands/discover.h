// The "Discover" command: finding lights and saving them in the device slots.
#pragma once

// Starts a discovery; arg1 is empty, "A.B.C.D" or "A.B.C.D/P".
void DiscoverCommand(const char *arg1, const char *arg2, const char *rest);
// A tick of DiscoveryTimer; when the window closes, the lights found are
// saved and reported.
void DiscoveryTick();
// Ends a running discovery at once, saving nothing.
void CancelDiscovery();
