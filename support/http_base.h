#pragma once

#include <charconv>
#include <cstddef>
#include <cstdio>
#include <string>

#include "host/http/http_headers.h"

// Header accessors over a head type of the HTTP library (`Base` has
// `headers()` and `minor_version_`).  Writers store header fields; readers
// interpret the fields as received.
template <class Base>
class HTTP_Base : public Base {
 public:
  using Base::Base;

  // Content-Length as an unsigned decimal number; 0 when absent or not a number.
  std::size_t content_length() const override {
    const std::string* v = this->headers().find("Content-Length");
    if (!v) return 0;
    const std::string text = trimmed(*v);
    std::size_t n = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), n);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() ? n : 0;
  }
  void content_length(std::size_t length) override {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(length));
    this->headers().set("Content-Length", buf);
  }

  // Content-Type, or null when absent.
  const char* content_type() const override {
    const std::string* v = this->headers().find("Content-Type");
    return v ? v->c_str() : nullptr;
  }
  void content_type(const char* type) override {
    if (type) {
      this->headers().set("Content-Type", type);
    } else {
      this->headers().remove("Content-Type");
    }
  }

  // Connection: a "close" token ends the connection, a "Keep-Alive" token
  // keeps it; without either, HTTP/1.1 and later keep it.
  virtual bool keep_alive() const {
    if (const std::string* v = this->headers().find("Connection")) {
      if (lists_token(*v, "close")) return false;
      if (lists_token(*v, "Keep-Alive")) return true;
    }
    return this->minor_version_ > 0;
  }
  virtual void keep_alive(bool on) {
    this->headers().set("Connection", on ? "Keep-Alive" : "close");
  }

  // Transfer-Encoding: exactly "chunked".
  virtual bool chunked_transfer_encoding() const {
    const std::string* v = this->headers().find("Transfer-Encoding");
    return v && *v == "chunked";
  }
  virtual void chunked_transfer_encoding(bool on) {
    if (on) {
      this->headers().set("Transfer-Encoding", "chunked");
    } else {
      this->headers().remove("Transfer-Encoding");
    }
  }

 private:
  static std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
  }

  // Whether the comma-separated list `value` holds `token` (tokens compare
  // case-insensitively, as HTTP says).
  static bool lists_token(const std::string& value, const char* token) {
    std::size_t start = 0;
    while (start <= value.size()) {
      std::size_t end = value.find(',', start);
      if (end == std::string::npos) end = value.size();
      if (http_iequals(trimmed(value.substr(start, end - start)), token)) return true;
      start = end + 1;
    }
    return false;
  }
};
