// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// The event pump and the Tab key: how a long-running handler lets the window live.
namespace EventPump {

// Chooses Qt's own event dispatcher over the GLib main loop, unless the user set QT_NO_GLIB:
// Kalvon needs no GLib integration, and the event pump of a search run costs half as much.
// Must be called before the application object is created.
void chooseEventDispatcher();

// Handles every pending event and returns.
void pumpEvents();

// Posts a Tab key press to the focused control; it is handled after the current handler returns.
void postTabKey();

// Tests can run code inside every pump, as a user acting between combinations would.
void setPumpHook(std::function<void()> hook);

} // namespace EventPump
