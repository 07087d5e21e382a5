// The program's UTF-16 text as Qt's, and back.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velmora::window {

QString ToQString(std::u16string_view text);
std::u16string FromQString(const QString& text);

}  // namespace velmora::window
