// The "Discover" command: finding lights and saving them in the device slots.
#pragma once

// Starts a discovery; arg1 is empty, "A.B.C.D" or "A.B.C.D/P".
void DiscoverCommand(const char *arg1, const char *arg2, const char *rest);
// Discovery's share of a tick of AnswersTimer; when the window closes, the
// lights found are saved and reported. False once nothing is left to do.
bool DiscoveryTick();
// From the command until every light found is saved and reported.
bool DiscoveryUnderway();
// Ends a running discovery at once; what is not saved yet stays unsaved.
void CancelDiscovery();
