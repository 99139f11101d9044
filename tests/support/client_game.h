#pragma once
// The client suites' one QCGame (SDL 1.2 opens one window per process), started in a scratch
// copy of the run folder so that what the menus write to config.ini stays there, and helpers
// that drive it the way a player does: events through the framework's dispatch, then frames.
#include <cstdint>
#include <string>
#include <vector>

#include "client/qc_game.h"
#include "engine/core/geometry.h"
#include "platform/dialogs.h"

class CEdit;
class CInterfaceElement;

namespace client_test {

QCGame& game();
// The scratch run folder, the working directory of the whole suite.
const std::string& run_folder();
// One frame of the real loop (events, update, draw) with the given time step.
void frame(float dt = 0.016f);
// A left click (or another button) at the point or the middle of the widget, then a frame.
void click_at(int x, int y, int button = 1);
void click(CInterfaceElement* widget, int button = 1);
// Clicks the edit, clears it with backspaces from its end and types the text.
void retype(CEdit* edit, const std::string& text);

// The screen on top of the stack, as T (null when it is something else).
template <typename T>
T* top() {
    return game().states.empty() ? nullptr : dynamic_cast<T*>(game().states.back());
}
std::string config(const std::string& section, const std::string& key);
// Every message box the client asked for, oldest first; the suite answers each itself.
const std::vector<platform::MessageBoxRequest>& message_boxes();
// The window's pixel after the last frame (y down).
ColorRGBA pixel(int x, int y);
// The whole window the same way, as RGBA bytes row by row from the top.
void read_window(uint8_t* rgba);

}  // namespace client_test
