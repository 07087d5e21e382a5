#include "platform/terminal/screen_too_small.h"

#include <string>
#include <vector>

#include "platform/text.h"

namespace velmora::terminal {

namespace {

std::u16string Number(int n) {
  return FromUtf8(std::to_string(n));
}

}  // namespace

void RenderTooSmall(int neededWidth, int neededHeight, std::u16string_view leave, Canvas& canvas) {
  canvas.Fill(CellRect{0, 0, canvas.width(), canvas.height()}, Style::Normal);
  std::u16string size = Number(neededWidth) + u" × " + Number(neededHeight);
  std::u16string line = u"Das Terminal ist zu klein: mindestens " + size + u" Zeichen nötig.";
  if (static_cast<int>(line.size()) > canvas.width()) {
    line = u"Mindestens " + size;
  }
  int row = canvas.height() / 2;
  canvas.PutCentred(0, row, canvas.width(), line, Style::Normal);
  // How to leave, on one line or, on a narrow terminal, a line for each key.
  std::vector<std::u16string_view> parts{leave};
  size_t comma = leave.find(u", ");
  if (static_cast<int>(leave.size()) > canvas.width() && comma != std::u16string_view::npos) {
    parts = {leave.substr(0, comma), leave.substr(comma + 2)};
  }
  for (std::u16string_view part : parts) {
    if (++row < canvas.height()) {
      canvas.PutCentred(0, row, canvas.width(), part, Style::Normal);
    }
  }
}

}  // namespace velmora::terminal
