#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/json_spirit/value.h"
#include "json/extract.h"

namespace qingcloud {

// Reads values by JSON Pointer path from a movable root within a document:
//
//   auto px = pextract_or_throw(element);
//   px("/status", status)("/vcpus_current", cpu);
//   px.chroot("/extra")("/cpu_model", model);     // below the current root
//   px.chroot_abs("/image")("/image_id", image);  // from the document's top
//
// A read that does not resolve to a value of the output's kind throws
// std::domain_error "JSON Pointer path '<root path><path>' not exist in JSON!"
// with FG_THROW, and is skipped without.  A failed chroot throws the same;
// without FG_THROW it sets FG_BRK_UNT_CHROOT and later reads are skipped until
// a chroot succeeds.
class JSON_Pointer_Extractor {
 public:
  JSON_Pointer_Extractor(const json_spirit::Value& document, unsigned flags) noexcept
      : doc_(document), root_(&document), flags_(flags) {}

  JSON_Pointer_Extractor& operator()(std::string_view path, std::string& out);
  JSON_Pointer_Extractor& operator()(std::string_view path, int& out);
  JSON_Pointer_Extractor& operator()(std::string_view path, std::uint64_t& out);
  JSON_Pointer_Extractor& operator()(std::string_view path, const json_spirit::Value*& out);
  JSON_Pointer_Extractor& operator()(std::string_view path, const json_spirit::Array*& out);

  // Moves the root to the value at `path` below the current root.
  JSON_Pointer_Extractor& chroot(std::string_view path);
  // Moves the root to the value at `path` from the document's top.
  JSON_Pointer_Extractor& chroot_abs(std::string_view path);
  // Moves the root back to the document's top.
  JSON_Pointer_Extractor& no_chroot();

  const std::string& root_path() const noexcept { return root_path_; }
  unsigned flags() const noexcept { return flags_; }

 private:
  template <class T>
  JSON_Pointer_Extractor& read(std::string_view path, T& out);
  JSON_Pointer_Extractor& move_root(const json_spirit::Value& from, std::string base,
                                    std::string_view path);
  [[noreturn]] void throw_missing(std::string_view path) const;

  const json_spirit::Value& doc_;
  const json_spirit::Value* root_;
  std::string root_path_;
  unsigned flags_;
};

inline JSON_Pointer_Extractor pextract(const json_spirit::Value& document,
                                       unsigned flags = FG_NOTHROW) {
  return JSON_Pointer_Extractor(document, flags);
}

inline JSON_Pointer_Extractor pextract_or_throw(const json_spirit::Value& document) {
  return JSON_Pointer_Extractor(document, FG_THROW);
}

}  // namespace qingcloud
