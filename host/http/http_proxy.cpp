#include "host/http/http_proxy.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

#include "host/http/curl_handles.h"

namespace {

// A text libcurl allocated, released with its own function (which wipes).
struct Curl_Text {
  char* text = nullptr;
  ~Curl_Text() { curl_free(text); }
};

std::mutex& default_mutex() {
  static std::mutex m;
  return m;
}

HTTP_Proxy& default_proxy() {
  static HTTP_Proxy proxy;
  return proxy;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// An address in network order: 4 bytes for IPv4, 16 for IPv6; 0 when `text`
// is none.
std::size_t parse_address(const std::string& text, unsigned char (&bytes)[16]) {
  if (inet_pton(AF_INET, text.c_str(), bytes) == 1) return 4;
  if (inet_pton(AF_INET6, text.c_str(), bytes) == 1) return 16;
  return 0;
}

// Whether the address `host` lies in `entry`: an address, or "address/bits".
bool address_matches(const std::string& host, std::string_view entry) {
  unsigned char want[16], have[16];
  const std::size_t size = parse_address(host, have);
  const std::size_t slash = entry.find('/');
  const std::size_t entry_size = parse_address(std::string(entry.substr(0, slash)), want);
  if (size == 0 || size != entry_size) return false;
  std::size_t bits = size * 8;
  if (slash != std::string_view::npos) {
    char* end = nullptr;
    const std::string number(entry.substr(slash + 1));
    const unsigned long n = std::strtoul(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || n > bits) return false;
    bits = n;
  }
  if (std::memcmp(want, have, bits / 8) != 0) return false;
  if (bits % 8 == 0) return true;
  const unsigned mask = 0xFFu << (8 - bits % 8);
  return ((want[bits / 8] ^ have[bits / 8]) & mask) == 0;
}

// The first of the variables that is set and not empty.
const char* environment(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return nullptr;
}

}  // namespace

std::string HTTP_Proxy::printable() const {
  if (url.empty() || (user.empty() && password.empty())) return url;
  const std::size_t start = url.find("://");
  const std::size_t host = start == std::string::npos ? 0 : start + 3;
  return url.substr(0, host) + "***@" + url.substr(host);
}

bool http_parse_proxy(std::string_view url, HTTP_Proxy& proxy, std::string& why) {
  if (!curl_init_once()) {
    why = "libcurl cannot be initialised";
    return false;
  }
  Curl_Url parsed(curl_url());
  if (!parsed) {
    why = "out of memory";
    return false;
  }
  // The text may carry a password: wiped storage, and never quoted back.
  const secure_string text(url);
  if (text.find_first_of(" \t\r\n") != secure_string::npos ||
      curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(),
                   CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    why = "not a URL";
    return false;
  }
  Curl_Text scheme, host, port, user, password, path;
  curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme.text, 0);
  curl_url_get(parsed.get(), CURLUPART_HOST, &host.text, 0);
  curl_url_get(parsed.get(), CURLUPART_PORT, &port.text, 0);
  curl_url_get(parsed.get(), CURLUPART_USER, &user.text, CURLU_URLDECODE);
  curl_url_get(parsed.get(), CURLUPART_PASSWORD, &password.text, CURLU_URLDECODE);
  curl_url_get(parsed.get(), CURLUPART_PATH, &path.text, 0);
  if (scheme.text == nullptr || lower(scheme.text) != "http") {
    why = "only http:// proxies are supported";
    return false;
  }
  if (host.text == nullptr || *host.text == '\0') {
    why = "no proxy host";
    return false;
  }
  if (path.text != nullptr && std::strcmp(path.text, "/") != 0 && *path.text != '\0') {
    why = "a proxy URL has no path";
    return false;
  }
  proxy.url = std::string("http://") + host.text + ":" + (port.text ? port.text : "1080");
  proxy.user = user.text ? user.text : "";
  proxy.password = password.text ? password.text : "";
  return true;
}

bool http_set_default_proxy(std::string_view url, std::string& why) {
  HTTP_Proxy proxy;
  if (!url.empty() && !http_parse_proxy(url, proxy, why)) return false;
  std::lock_guard<std::mutex> lock(default_mutex());
  default_proxy() = std::move(proxy);
  return true;
}

HTTP_Proxy http_proxy_for(const std::string& host, bool ssl) {
  {
    std::lock_guard<std::mutex> lock(default_mutex());
    if (!default_proxy().empty()) return default_proxy();
  }
  // As curl reads them: plain HTTP takes only the lower-case name, which a
  // CGI program's request cannot set.
  const char* url = ssl ? environment({"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
                        : environment({"http_proxy", "all_proxy", "ALL_PROXY"});
  HTTP_Proxy proxy;
  std::string why;
  if (url == nullptr || !http_parse_proxy(url, proxy, why)) return HTTP_Proxy();
  const char* exempt = environment({"no_proxy", "NO_PROXY"});
  if (exempt != nullptr && http_no_proxy_matches(exempt, host)) return HTTP_Proxy();
  return proxy;
}

bool http_no_proxy_matches(std::string_view no_proxy, std::string_view host) {
  if (trimmed(no_proxy) == "*") return true;
  std::string name = lower(host);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  while (!name.empty() && name.back() == '.')
    name.pop_back();
  unsigned char ignored[16];
  const bool is_address = parse_address(name, ignored) != 0;
  while (!no_proxy.empty()) {
    const std::size_t comma = no_proxy.find(',');
    std::string entry = lower(trimmed(no_proxy.substr(0, comma)));
    no_proxy.remove_prefix(comma == std::string_view::npos ? no_proxy.size() : comma + 1);
    if (is_address) {
      if (!entry.empty() && address_matches(name, entry)) return true;
      continue;
    }
    while (!entry.empty() && entry.front() == '.')
      entry.erase(0, 1);
    while (!entry.empty() && entry.back() == '.')
      entry.pop_back();
    if (entry.empty()) continue;
    if (name == entry) return true;
    if (name.size() > entry.size() &&
        name.compare(name.size() - entry.size(), entry.size(), entry) == 0 &&
        name[name.size() - entry.size() - 1] == '.')
      return true;
  }
  return false;
}
