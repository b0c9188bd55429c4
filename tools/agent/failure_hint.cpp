#include "tools/agent/failure_hint.h"

#include <cstring>

namespace {

// What a line tells of where it went: "HOST:PORT" of the first URL it
// quotes ('http://HOST:PORT/...'), its scheme, and the proxy it went
// through.
struct Where {
  std::string endpoint;
  bool tls = false;
  std::string proxy;
};

Where where_of(const std::string& line) {
  Where w;
  const std::size_t scheme = line.find("://");
  if (scheme == std::string::npos) return w;
  w.tls = scheme >= 5 && line.compare(scheme - 5, 5, "https") == 0;
  const std::size_t start = scheme + 3;
  const std::size_t end = line.find_first_of("/' ", start);
  w.endpoint = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  const std::size_t through = line.find(" through proxy ");
  if (through != std::string::npos) {
    const std::size_t from = through + std::strlen(" through proxy ");
    w.proxy = line.substr(from, line.find_first_of("' ,", from) - from);
  }
  return w;
}

// A cause: any of `marks` in a line, and what the operator can do about it.
struct Cause {
  std::vector<const char*> marks;
  std::string (*hint)(const Where& where);
};

const Cause CAUSES[] = {
    {{"errno=111, Connection refused", "Couldn't connect to server"},
     [](const Where& w) {
       if (!w.proxy.empty())
         return "the proxy " + w.proxy +
                " refused the connection or is down: check --proxy, `qingcloud-agent config "
                "show` and the proxy variables";
       return "nothing listens at " + w.endpoint +
              ": check the host and the port, and that the platform runs";
     }},
    {{"wrong version number", "packet length too long"},
     [](const Where& w) {
       return "the endpoint at " + w.endpoint +
              " speaks plain HTTP: untick TLS in the console, or give --no-ssl";
     }},
    {{"Received HTTP/0.9", "Empty reply from server"},
     [](const Where& w) {
       return w.tls ? "the endpoint at " + w.endpoint + " closed the connection unanswered"
                    : "the endpoint at " + w.endpoint +
                          " may speak HTTPS: tick TLS in the console, or leave out --no-ssl";
     }},
    {{"SSL certificate problem", "certificate verify failed", "unable to get local issuer"},
     [](const Where& w) {
       return "the certificate of " + w.endpoint +
              " is not trusted here: give the certificate of its CA with --ca-file";
     }},
    {{"Could not resolve host", "Could not resolve proxy"},
     [](const Where& w) {
       return "the name " + w.endpoint.substr(0, w.endpoint.rfind(':')) +
              " does not resolve: check it, or give the host's address";
     }},
    {{"errno=1200"},
     [](const Where&) {
       return std::string(
           "the platform does not know the access key id, or the secret is not its: check both");
     }},
    {{"errno=1300"},
     [](const Where&) {
       return std::string(
           "this host's clock is more than a minute off the platform's: set it right (NTP)");
     }},
    {{"errno=1400"},
     [](const Where&) {
       return std::string(
           "the platform refused the access key this action: it needs the back office's "
           "permission");
     }},
    {{"ran out of time", "no data moved within the time-out", "Connection timed out"},
     [](const Where& w) {
       return "the platform at " + w.endpoint +
              " did not answer in time: check that it runs and that nothing on the way holds "
              "its answers";
     }},
};

}  // namespace

std::string failure_hint(const std::vector<std::string>& lines) {
  for (const Cause& cause : CAUSES) {
    for (const std::string& line : lines) {
      for (const char* mark : cause.marks) {
        if (line.find(mark) == std::string::npos) continue;
        Where where = where_of(line);
        // The endpoint may be named by a line before, of the same request.
        for (auto other = lines.rbegin(); where.endpoint.empty() && other != lines.rend(); ++other)
          where = where_of(*other);
        return cause.hint(where);
      }
    }
  }
  return std::string();
}

json_spirit::Object failure_cause(const std::vector<std::string>& lines) {
  json_spirit::Array log;
  for (const std::string& line : lines)
    log.push_back(line);
  json_spirit::Object cause{{"log", std::move(log)}};
  const std::string hint = failure_hint(lines);
  if (!hint.empty()) cause["hint"] = hint;
  return cause;
}
