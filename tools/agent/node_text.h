#pragma once

#include <string>

#include "host/json_spirit/value.h"

// One inventory node as a line for people: its type, name, id (when it is
// not the name) and the further keys, sizes in GiB where they are whole.
// With `with_zone` false the "zone" key is left out (a tree shows it in the
// zone's branch).  What the platform sent is escaped for the terminal.
std::string node_line(const json_spirit::Value& node, bool with_zone = true);

// The size text of a byte count: "20 GiB" when whole, else "N bytes".
std::string size_text(std::uint64_t bytes);
