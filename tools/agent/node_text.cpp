#include "tools/agent/node_text.h"

#include <algorithm>
#include <iterator>

#include "host/json_spirit/writer.h"
#include "tools/agent/terminal_text.h"

std::string size_text(std::uint64_t bytes) {
  constexpr std::uint64_t GiB = std::uint64_t(1) << 30;
  if (bytes != 0 && bytes % GiB == 0) return std::to_string(bytes / GiB) + " GiB";
  return std::to_string(bytes) + " bytes";
}

namespace {

// What the platform named, safe for a terminal.
std::string text(const json_spirit::Value& v) {
  if (v.type() == json_spirit::str_type) return printable(v.get_str());
  return printable_json(json_spirit::JSON_Dump(v, false).str());
}

std::string member(const json_spirit::Object& o, const char* key) {
  auto it = o.find(key);
  return it == o.end() ? std::string() : text(it->second);
}

}  // namespace

std::string node_line(const json_spirit::Value& node, bool with_zone) {
  if (node.type() != json_spirit::obj_type) return text(node);
  const json_spirit::Object& o = node.get_obj();
  const std::string name = member(o, "name");
  const std::string moid = member(o, "moid");
  std::string line = member(o, "type") + " " + (name.empty() ? "(no name)" : name);
  if (moid != name) line += " (" + moid + ")";
  // The keys a person looks for first, then any others.
  static const char* const FIRST[] = {"owner", "status", "size", "host", "instance"};
  auto add = [&](const std::string& key, const json_spirit::Value& value) {
    if (key == "size" && value.type() == json_spirit::int_type &&
        (value.is_uint64() || value.get_int64() >= 0)) {
      line += " size=" + size_text(value.get_uint64());
    } else {
      line += " " + printable(key) + "=" + text(value);
    }
  };
  for (const char* key : FIRST) {
    auto it = o.find(key);
    if (it != o.end()) add(key, it->second);
  }
  for (const auto& [key, value] : o) {
    if (key == "type" || key == "name" || key == "moid" || key == "has_children") continue;
    if ((key == "zone" && !with_zone) ||
        std::find(std::begin(FIRST), std::end(FIRST), key) != std::end(FIRST))
      continue;
    add(key, value);
  }
  return line;
}
