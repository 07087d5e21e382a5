// A message box over the dialogs: its text wrapped in a box centred on
// the screen, with an OK button or the buttons Ja and Nein; its height,
// its picture, and which button lies under a cell.
#pragma once

#include <string>

#include "platform/terminal/canvas.h"
#include "platform/terminal/screen_hit.h"

namespace velmora::terminal {

struct MessageState {
  std::u16string caption;
  std::u16string text;
  bool yesNo = false;
  int focusedButton = 0;  // 0 OK / Ja, 1 Nein
};

// Rows a message box needs on a terminal of this width.
int MessageHeight(const MessageState& message, int width);

void RenderMessage(const MessageState& message, Canvas& canvas);

// The button under a cell (Hit::Kind::MessageButton and its index), else
// none.
Hit HitMessage(const MessageState& message, int width, int height, int col, int row);

}  // namespace velmora::terminal
