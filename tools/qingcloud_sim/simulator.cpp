#include "tools/qingcloud_sim/simulator.h"

#include <stdexcept>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <httplib.h>

#include "tools/qingcloud_sim/connections.h"
#include "tools/qingcloud_sim/inventory_file.h"

namespace qingcloud_sim {
namespace {

void send_json(httplib::Response& res, int status, const boost::json::value& json) {
  res.status = status;
  res.set_content(boost::json::serialize(json), "application/json");
}

void send_error(httplib::Response& res, const std::string& message) {
  send_json(res, 400, boost::json::object{{"error", message}});
}

// Reads the whole body of a POST whose handler takes a content reader (such
// handlers are not held to the library's small limit on form bodies).
std::string read_body(const httplib::ContentReader& reader) {
  std::string body;
  reader([&](const char* data, std::size_t length) {
    body.append(data, length);
    return true;
  });
  return body;
}

}  // namespace

Simulator::Simulator(Inventory_Source source, Options options)
    : source_(std::move(source)),
      options_(std::move(options)),
      platform_(source_(), clock_),
      max_clock_skew_(options_.max_clock_skew) {
  platform_.set_job_seconds(options_.job_seconds);
  platform_.set_lease_seconds(options_.lease_seconds);
}

Simulator::~Simulator() {
  stop();
}

void Simulator::start() {
  if (server_) throw std::runtime_error("the simulator is already started");
  if (tls()) {
    auto server = options_.tls_cert != nullptr
                      ? std::make_unique<httplib::SSLServer>(options_.tls_cert, options_.tls_key)
                      : std::make_unique<httplib::SSLServer>(options_.tls_cert_file.c_str(),
                                                             options_.tls_key_file.c_str());
    if (!server->is_valid()) {
      throw std::runtime_error(options_.tls_cert != nullptr
                                   ? std::string("cannot use the given TLS certificate and key")
                                   : "cannot use the TLS certificate '" + options_.tls_cert_file +
                                         "' with the key '" + options_.tls_key_file + "'");
    }
    server_ = std::move(server);
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  server_->set_keep_alive_max_count(options_.keep_alive_max_requests);
  server_->set_keep_alive_timeout(options_.keep_alive_timeout_seconds);
  server_->set_read_timeout(30);
  server_->set_write_timeout(30);
  server_->set_tcp_nodelay(true);
  server_->set_payload_max_length(16 << 20);
  server_->new_task_queue = [this] {
    return new Connection_Threads([this] { stats_.connection_accepted(); });
  };
  route(*server_);

  port_ = options_.port == 0
              ? server_->bind_to_any_port(options_.host)
              : (server_->bind_to_port(options_.host, options_.port) ? options_.port : -1);
  if (port_ <= 0) {
    server_.reset();
    throw std::runtime_error("cannot listen on " + options_.host + ":" +
                             std::to_string(options_.port));
  }
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stopping_ = false;
  }
  auto listening_ended = std::make_shared<std::atomic<bool>>(false);
  listener_ = std::thread([this, listening_ended] {
    block_sigpipe_in_this_thread();
    server_->listen_after_bind();
    *listening_ended = true;
  });
  // The server only takes `stop` once it runs: wait for the accept loop.
  while (!server_->is_running() && !*listening_ended)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Simulator::stop() {
  if (!server_) return;
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  server_->stop();
  // Connections idle between keep-alive requests would hold the server's
  // threads until their time-out; ending them lets the threads finish now.
  shutdown_connections(port_);
  if (listener_.joinable()) listener_.join();
  server_.reset();
}

void Simulator::reset() {
  platform_.reset(source_());
  platform_.set_job_seconds(options_.job_seconds);
  platform_.set_lease_seconds(options_.lease_seconds);
  max_clock_skew_ = options_.max_clock_skew;
  faults_.clear();
  stats_.reset();
  clock_.reset();
  {
    std::lock_guard<std::mutex> lock(stop_mutex_);
    ++resets_;
  }
  stop_cv_.notify_all();
}

void Simulator::set_max_clock_skew(int seconds) {
  max_clock_skew_ = seconds;
}

void Simulator::wait_unless_stopping(int milliseconds) {
  std::unique_lock<std::mutex> lock(stop_mutex_);
  const std::uint64_t resets = resets_;
  stop_cv_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                    [&] { return stopping_ || resets_ != resets; });
}

void Simulator::route(httplib::Server& server) {
  server.Get("/iaas/", [this](const httplib::Request& req, httplib::Response& res) {
    const std::size_t question = req.target.find('?');
    const std::string_view query = question == std::string::npos
                                       ? std::string_view()
                                       : std::string_view(req.target).substr(question + 1);
    serve_api(req, res, query);
  });
  // Both APIs take POST forms: the back office's with the parameters packed
  // into "params", the infrastructure API's with the pairs of its query.
  for (const char* path : {"/iaas/", "/boss2/"}) {
    server.Post(path, [this](const httplib::Request& req, httplib::Response& res,
                             const httplib::ContentReader& reader) {
      const std::string body = read_body(reader);
      serve_api(req, res, body);
    });
  }
  server.Get("/_sim/stats", [this](const httplib::Request&, httplib::Response& res) {
    boost::json::object json = stats_.snapshot().to_json();
    json["version"] = platform_.version();
    send_json(res, 200, json);
  });
  server.Delete("/_sim/stats", [this](const httplib::Request&, httplib::Response& res) {
    stats_.reset();
    send_json(res, 200, boost::json::object{{"ret_code", 0}});
  });
  server.Get("/_sim/faults", [this](const httplib::Request& req, httplib::Response& res) {
    serve_faults(req, res, std::string());
  });
  server.Delete("/_sim/faults", [this](const httplib::Request& req, httplib::Response& res) {
    serve_faults(req, res, std::string());
  });
  server.Post("/_sim/faults", [this](const httplib::Request& req, httplib::Response& res,
                                     const httplib::ContentReader& reader) {
    serve_faults(req, res, read_body(reader));
  });
  server.Post("/_sim/clock", [this](const httplib::Request&, httplib::Response& res,
                                    const httplib::ContentReader& reader) {
    serve_clock(res, read_body(reader));
  });
  server.Post("/_sim/reset", [this](const httplib::Request&, httplib::Response& res,
                                    const httplib::ContentReader& reader) {
    read_body(reader);
    reset();
    send_json(res, 200, boost::json::object{{"ret_code", 0}});
  });
  server.Get("/_sim/inventory", [this](const httplib::Request&, httplib::Response& res) {
    send_json(res, 200, dump_inventory(platform_.inventory()));
  });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        send_json(res, 500,
                  boost::json::object{{"message", "InternalError, the simulator failed"},
                                      {"ret_code", 5000}});
      });
}

void Simulator::serve_faults(const httplib::Request& req, httplib::Response& res,
                             const std::string& body) {
  if (req.method == "DELETE") {
    faults_.clear();
  } else if (req.method == "POST") {
    boost::json::error_code ec;
    const boost::json::value json = boost::json::parse(body, ec);
    if (ec || !(json.is_object() || json.is_array()))
      return send_error(res, "a fault object or an array of them expected");
    std::vector<Fault> parsed;
    try {
      if (json.is_object()) {
        parsed.push_back(Fault::from_json(json.get_object()));
      } else {
        for (const boost::json::value& f : json.get_array()) {
          if (!f.is_object()) return send_error(res, "a fault must be an object");
          parsed.push_back(Fault::from_json(f.get_object()));
        }
      }
    } catch (const std::invalid_argument& e) {
      return send_error(res, e.what());
    }
    for (Fault& f : parsed)
      faults_.add(std::move(f));
  }
  boost::json::array armed;
  for (const Fault& f : faults_.armed())
    armed.push_back(f.to_json());
  send_json(res, 200, boost::json::object{{"faults", std::move(armed)}});
}

void Simulator::serve_clock(httplib::Response& res, const std::string& body) {
  boost::json::error_code ec;
  const boost::json::value json = boost::json::parse(body, ec);
  if (ec || !json.is_object()) return send_error(res, "a JSON object expected");
  const boost::json::object& o = json.get_object();
  if (const boost::json::value* v = o.if_contains("advance")) {
    if (!v->is_int64()) return send_error(res, "\"advance\" takes whole seconds");
    clock_.advance(v->get_int64());
  } else if (const boost::json::value* t = o.if_contains("freeze")) {
    std::int64_t seconds = 0;
    if (!t->is_string() || !parse_time(std::string(t->get_string()), &seconds))
      return send_error(res, "\"freeze\" takes a time like 2023-03-01T08:00:00Z");
    clock_.freeze(seconds);
  } else if (o.contains("unfreeze")) {
    clock_.unfreeze();
  } else if (o.contains("reset")) {
    clock_.reset();
  } else {
    return send_error(res, "one of \"advance\", \"freeze\", \"unfreeze\", \"reset\" expected");
  }
  send_json(res, 200,
            boost::json::object{{"wall_now", format_time(clock_.wall_now())},
                                {"now", format_time(clock_.now())}});
}

}  // namespace qingcloud_sim
