#include "json/pextract.h"

#include <stdexcept>

#include "host/json_spirit/json_pointer.h"

namespace qingcloud {

void JSON_Pointer_Extractor::throw_missing(const std::string& path) const {
  throw std::domain_error("JSON Pointer path '" + root_path_ + path + "' not exist in JSON!");
}

template <class T>
JSON_Pointer_Extractor& JSON_Pointer_Extractor::read(const std::string& path, T& out) {
  if (flags_ & FG_BRK_UNT_CHROOT) return *this;
  json_spirit::JSON_Pointer pointer;
  if (pointer.path(path, false) && pointer.get(*root_, out)) return *this;
  if (flags_ & FG_THROW) throw_missing(path);
  return *this;
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(const std::string& path,
                                                           std::string& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(const std::string& path, int& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(const std::string& path,
                                                           std::uint64_t& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(const std::string& path,
                                                           const json_spirit::Value*& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(const std::string& path,
                                                           const json_spirit::Array*& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::move_root(const json_spirit::Value& from,
                                                          std::string base,
                                                          const std::string& path) {
  json_spirit::JSON_Pointer pointer;
  const json_spirit::Value* target = nullptr;
  if (pointer.path(path, false) && pointer.get(from, target)) {
    root_ = target;
    root_path_ = std::move(base) + path;
    flags_ &= ~static_cast<unsigned>(FG_BRK_UNT_CHROOT);
    return *this;
  }
  if (flags_ & FG_THROW) {
    throw std::domain_error("JSON Pointer path '" + base + path + "' not exist in JSON!");
  }
  flags_ |= FG_BRK_UNT_CHROOT;
  return *this;
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::chroot(const std::string& path) {
  // Below a root that could not be reached there is nothing to move to.
  if (flags_ & FG_BRK_UNT_CHROOT) return *this;
  return move_root(*root_, root_path_, path);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::chroot_abs(const std::string& path) {
  return move_root(doc_, std::string(), path);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::no_chroot() {
  root_ = &doc_;
  root_path_.clear();
  flags_ &= ~static_cast<unsigned>(FG_BRK_UNT_CHROOT);
  return *this;
}

}  // namespace qingcloud
