#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/agent/commands.h"

// The arguments of one command: options anywhere ("--name VALUE" or
// "--name=VALUE", or flags without a value) and the remaining words in
// order.  "--" ends the options.
// "--help" and "-h" are always known flags.
class Arg_Reader {
 public:
  Arg_Reader(const Command_Args& args, const std::vector<std::string>& with_value,
             const std::vector<std::string>& flags);

  // False, with the problem in `error()`, for an unknown option or a missing
  // value.
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  bool has(const std::string& flag) const { return given_.count(flag) != 0; }
  // The last value of an option, or `fallback`.
  std::string value(const std::string& option, const std::string& fallback = "") const;
  // Every value of a repeated option, in order.
  std::vector<std::string> values(const std::string& option) const;
  const std::vector<std::string>& words() const { return words_; }

 private:
  std::map<std::string, std::vector<std::string>> given_;
  std::vector<std::string> words_;
  std::string error_;
};
