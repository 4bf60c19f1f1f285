// The timer of the zone-count questions (lifx/zone_query.h).
#pragma once

// After every event: starts the questions when a strip drive has marked a
// strip to be asked.
void StartZoneQueryIfWanted();
// A tick of ZoneQueryTimer.
void ZoneQueryTick();
// Ends the questions at once: the timer killed, the socket closed.
void CancelZoneQuery();
