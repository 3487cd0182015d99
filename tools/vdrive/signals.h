// The signals the drive reacts to, turned into flags and a descriptor that
// wakes the line loop: SIGINT, SIGTERM and SIGHUP end the drive, SIGUSR1
// plugs or unplugs the simulated hand-held terminal.
#pragma once

#include <chrono>

namespace vdrive {

bool InstallSignalHandlers();
int SignalWakeFd();  // readable after any handled signal
void DrainSignalWakeFd();
bool StopRequested();
// Sleeps for 'duration' unless a stop is requested first; false then.
bool SleepUnlessStopped(std::chrono::milliseconds duration);
// How many times SIGUSR1 arrived since the last call.
int TakeTerminalToggles();

}  // namespace vdrive
