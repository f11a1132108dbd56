// The command line speaks the terminal's encoding (the locale of the
// environment); the settings files and the server speak Windows-1252.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dovevid::app {

// Typed text as Windows-1252 bytes; nothing when a character has no place in
// that code page or the text is not valid in the terminal's encoding.
std::optional<std::string> TerminalToWindows1252(std::string_view text);

// Windows-1252 bytes as the terminal shows them; a byte it cannot show
// becomes "?".
std::string Windows1252ToTerminal(std::string_view text);

}  // namespace dovevid::app
