#include "json/pextract.h"

#include <stdexcept>

#include "host/json_spirit/json_pointer.h"

namespace qingcloud {

void JSON_Pointer_Extractor::throw_missing(std::string_view path) const {
  throw std::domain_error("JSON Pointer path '" + root_path_ + std::string(path) +
                          "' not exist in JSON!");
}

template <class T>
JSON_Pointer_Extractor& JSON_Pointer_Extractor::read(std::string_view path, T& out) {
  if (flags_ & FG_BRK_UNT_CHROOT) return *this;
  if (json_spirit::JSON_Pointer::get(*root_, path, out)) return *this;
  if (flags_ & FG_THROW) throw_missing(path);
  return *this;
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(std::string_view path,
                                                           std::string& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(std::string_view path, int& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(std::string_view path,
                                                           std::uint64_t& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(std::string_view path,
                                                           const json_spirit::Value*& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::operator()(std::string_view path,
                                                           const json_spirit::Array*& out) {
  return read(path, out);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::move_root(const json_spirit::Value& from,
                                                          std::string base, std::string_view path) {
  if (const json_spirit::Value* target = json_spirit::JSON_Pointer::resolve(from, path)) {
    root_ = target;
    base.append(path.data(), path.size());
    root_path_ = std::move(base);
    flags_ &= ~static_cast<unsigned>(FG_BRK_UNT_CHROOT);
    return *this;
  }
  if (flags_ & FG_THROW) {
    throw std::domain_error("JSON Pointer path '" + base + std::string(path) +
                            "' not exist in JSON!");
  }
  flags_ |= FG_BRK_UNT_CHROOT;
  return *this;
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::chroot(std::string_view path) {
  // Below a root that could not be reached there is nothing to move to.
  if (flags_ & FG_BRK_UNT_CHROOT) return *this;
  return move_root(*root_, root_path_, path);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::chroot_abs(std::string_view path) {
  return move_root(doc_, std::string(), path);
}

JSON_Pointer_Extractor& JSON_Pointer_Extractor::no_chroot() {
  root_ = &doc_;
  root_path_.clear();
  flags_ &= ~static_cast<unsigned>(FG_BRK_UNT_CHROOT);
  return *this;
}

}  // namespace qingcloud
