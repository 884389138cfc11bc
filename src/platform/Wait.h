#pragma once
// Waits and clocks: Sleep, letting pending events run, and a millisecond tick.

#include <QtGlobal>
#include <functional>

namespace platform {

// Blocks the calling thread for ms milliseconds; no events run meanwhile.
void Sleep(int ms);

// Runs every pending event (timers, serial reception, window events) once, then returns.
void DoEvents();

// Monotonic millisecond counter that wraps at 2^32 like the system tick it stands in for.
quint32 timeGetTime();

// Tests replace the tick source (for example to start just before the wrap); nullptr restores it.
void setTickSourceForTesting(std::function<quint32()> source);

} // namespace platform
