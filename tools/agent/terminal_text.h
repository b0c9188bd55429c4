#pragma once

#include <string>
#include <string_view>

// Text from outside (names and messages of the platform, the store's
// settings) made safe to print on a terminal, where a control character
// could move the cursor, clear the screen or retitle the window.

// One line for people: control characters (C0, DEL and the C1 range) and
// bytes that are not UTF-8 become visible escapes ("\x1b", "\n", "\u009b"),
// and a backslash is doubled so that an escape is never ambiguous.
std::string printable(std::string_view text);

// A logged message as one such line: its final line breaks dropped, the
// others escaped.
std::string printable_line(std::string_view text);

// JSON text, which stays the same JSON: DEL and C1 characters become \u
// escapes (the writer escapes C0 already), and bytes that are not UTF-8 the
// replacement character \ufffd.
std::string printable_json(std::string_view json);
// The same, handing `json` itself back when nothing in it needs escaping (a
// listing's text may run to many megabytes).
std::string printable_json(std::string&& json);
