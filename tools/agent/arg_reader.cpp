#include "tools/agent/arg_reader.h"

#include <algorithm>

Arg_Reader::Arg_Reader(const Command_Args& args, const std::vector<std::string>& with_value,
                       const std::vector<std::string>& flags) {
  auto listed = [](const std::vector<std::string>& names, const std::string& a) {
    return std::find(names.begin(), names.end(), a) != names.end();
  };
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // "--name=VALUE" is "--name VALUE".
    const std::size_t equals = a.rfind("--", 0) == 0 ? a.find('=') : std::string::npos;
    if (options && equals != std::string::npos) {
      const std::string name = a.substr(0, equals);
      if (!listed(with_value, name)) {
        error_ = listed(flags, name) ? name + " takes no value"
                 : name.rfind("--secret", 0) == 0
                     ? "the secret is not taken from the command line; use "
                       "QINGCLOUD_SECRET_ACCESS_KEY or --secret-file"
                     : "unknown option " + name;
        return;
      }
      given_[name].push_back(a.substr(equals + 1));
    } else if (options && a == "--") {
      options = false;
    } else if (options && (a == "--help" || a == "-h")) {
      given_["--help"];
    } else if (options && listed(flags, a)) {
      given_[a];
    } else if (options && listed(with_value, a)) {
      if (i + 1 >= args.size()) {
        error_ = a + " needs a value";
        return;
      }
      given_[a].push_back(args[++i]);
    } else if (options && a.rfind("--secret", 0) == 0) {
      // A secret typed on the command line would be in the process list.
      error_ =
          "the secret is not taken from the command line; use QINGCLOUD_SECRET_ACCESS_KEY or "
          "--secret-file";
      return;
    } else if (options && a.size() > 1 && a[0] == '-') {
      error_ = "unknown option " + a;
      return;
    } else {
      words_.push_back(a);
    }
  }
}

std::string Arg_Reader::value(const std::string& option, const std::string& fallback) const {
  auto it = given_.find(option);
  return it == given_.end() || it->second.empty() ? fallback : it->second.back();
}

std::vector<std::string> Arg_Reader::values(const std::string& option) const {
  auto it = given_.find(option);
  return it == given_.end() ? std::vector<std::string>() : it->second;
}
