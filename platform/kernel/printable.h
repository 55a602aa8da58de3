// Text from outside (an argument, an environment value, a path) made safe
// for a message line, for the layer and for the idle watcher alike.
#pragma once

#include <string>

// Length of the well-formed UTF-8 sequence at text, or 0 when it is broken.
// The zero terminator never passes as a continuation byte, so a sequence
// cut short by the end of the string counts as broken.
int utf8_sequence_length(const unsigned char* text);

// Text as a message line may repeat it: UTF-8 as it is, but control
// characters (a line break, a terminal's escape sequences) and bytes that
// are no UTF-8 written as C escapes (\n, \x1b), so that nothing reaches the
// terminal raw.
std::string layer_printable(const char* text);
