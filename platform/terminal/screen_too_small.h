// What the screen shows when the terminal is too small for the dialog or
// message box: a centred line with the size needed and below it how to
// leave (the keys that still work there).
#pragma once

#include <string_view>

#include "platform/terminal/canvas.h"

namespace velmora::terminal {

void RenderTooSmall(int neededWidth, int neededHeight, std::u16string_view leave, Canvas& canvas);

// How to leave a dialog, or a message box, that does not fit.
inline constexpr std::u16string_view LeaveDialog = u"Esc: Abbrechen, F10: OK";
inline constexpr std::u16string_view LeaveMessageOk = u"Esc: OK";
inline constexpr std::u16string_view LeaveMessageNo = u"Esc: Nein";

}  // namespace velmora::terminal
