#pragma once

#include <functional>

// The event pump and the Tab key: how a long-running handler lets the window live.
namespace EventPump {

// Handles every pending event and returns.
void pumpEvents();

// Posts a Tab key press to the focused control; it is handled after the current handler returns.
void postTabKey();

// Tests can run code inside every pump, as a user acting between combinations would.
void setPumpHook(std::function<void()> hook);

} // namespace EventPump
