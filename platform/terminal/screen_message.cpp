#include "platform/terminal/screen_message.h"

#include <algorithm>
#include <vector>

#include "platform/terminal/screen_layout.h"

namespace velmora::terminal {

namespace {

constexpr int MessageBoxWidest = 64;

// Message box geometry: centred, its text wrapped to its width.
struct MessageBox {
  CellRect box;
  std::vector<std::u16string> lines;
};

MessageBox PlaceMessage(const MessageState& message, int width, int height) {
  MessageBox placed;
  int boxWidth = std::clamp(width - 2, 1, MessageBoxWidest);
  placed.lines = WrapText(message.text, boxWidth - 4);
  int boxHeight = static_cast<int>(placed.lines.size()) + 5;
  placed.box = CellRect{(width - boxWidth) / 2, std::max(CaptionRows, (height - boxHeight) / 2),
                        boxWidth, boxHeight};
  return placed;
}

std::vector<std::u16string> MessageButtons(const MessageState& message) {
  if (message.yesNo) {
    return {ButtonLabel(u"Ja", message.focusedButton == 0),
            ButtonLabel(u"Nein", message.focusedButton == 1)};
  }
  return {ButtonLabel(u"OK", true)};
}

int MessageButtonCol(const CellRect& box, const std::vector<std::u16string>& buttons, int index) {
  int total = 0;
  for (const auto& b : buttons) {
    total += static_cast<int>(b.size()) + 2;
  }
  int col = box.col + (box.width - total + 2) / 2;
  for (int i = 0; i < index; ++i) {
    col += static_cast<int>(buttons[static_cast<size_t>(i)].size()) + 2;
  }
  return col;
}

}  // namespace

int MessageHeight(const MessageState& message, int width) {
  return PlaceMessage(message, width, 0).box.height;
}

void RenderMessage(const MessageState& message, Canvas& canvas) {
  MessageBox placed = PlaceMessage(message, canvas.width(), canvas.height());
  const CellRect& box = placed.box;
  canvas.Fill(box, Style::Message);
  canvas.Fill(CellRect{box.col, box.row, box.width, 1}, Style::Caption);
  canvas.Put(box.col + 1, box.row, message.caption, Style::Caption, box.width - 2);
  for (int r = box.row + 1; r < box.bottom() - 1; ++r) {
    canvas.Put(box.col, r, u"│", Style::Message);
    canvas.Put(box.right() - 1, r, u"│", Style::Message);
  }
  std::u16string bottom(static_cast<size_t>(std::max(0, box.width - 2)), u'─');
  canvas.Put(box.col, box.bottom() - 1, u"└" + bottom + u"┘", Style::Message);
  std::u16string sign = message.yesNo ? u"⚠ " : u"";
  for (size_t i = 0; i < placed.lines.size(); ++i) {
    canvas.Put(box.col + 2, box.row + 2 + static_cast<int>(i),
               (i == 0 ? sign : u"") + placed.lines[i], Style::Message, box.width - 3);
  }
  std::vector<std::u16string> buttons = MessageButtons(message);
  for (size_t i = 0; i < buttons.size(); ++i) {
    Style style =
        static_cast<int>(i) == message.focusedButton ? Style::Focused : Style::MessageButton;
    canvas.Put(MessageButtonCol(box, buttons, static_cast<int>(i)), box.bottom() - 2, buttons[i],
               style);
  }
}

Hit HitMessage(const MessageState& message, int width, int height, int col, int row) {
  MessageBox placed = PlaceMessage(message, width, height);
  std::vector<std::u16string> buttons = MessageButtons(message);
  Hit hit;
  for (size_t i = 0; i < buttons.size(); ++i) {
    int start = MessageButtonCol(placed.box, buttons, static_cast<int>(i));
    if (row == placed.box.bottom() - 2 && col >= start &&
        col < start + static_cast<int>(buttons[i].size())) {
      hit.kind = Hit::Kind::MessageButton;
      hit.index = static_cast<int>(i);
    }
  }
  return hit;
}

}  // namespace velmora::terminal
