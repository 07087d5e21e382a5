// The small pieces of the CE build's .reg dialect that its preprocessor,
// its lines and its strings table share.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

bool BspIsBlank(char c);
std::string_view BspTrim(std::string_view text);

// Names of -D, #define, IF, $(NAME) and LOC_: letters, digits and "_".
bool BspIsNameChar(char c);
bool BspIsName(std::string_view text);

// ASCII upper case: names ignore case, as on the system the files come from.
std::string BspUpper(std::string_view text);
bool BspSameIgnoringCase(std::string_view a, std::string_view b);
bool BspStartsIgnoringCase(std::string_view text, std::string_view prefix);

// The line without its comment: from a ";" outside quotes ("\" escapes
// the next character within quotes).
std::string_view BspWithoutComment(std::string_view line);

// A quoted text at the start of text ("\" escapes the next character):
// its characters in *out, what follows the closing quote in *rest.
bool BspQuoted(std::string_view text, std::string* out, std::string_view* rest);

// text in quotes, as regedit writes it ("\" before "\" and quotes).
std::string BspQuote(std::string_view text);

}  // namespace velmora
