// The API endpoints "/iaas/" and "/boss2/": decoding, faults, authentication,
// the platform's answer, stats.
#include <chrono>
#include <cstdio>

#include <httplib.h>

#include "tools/qingcloud_sim/authenticator.h"
#include "tools/qingcloud_sim/connections.h"
#include "tools/qingcloud_sim/reply_shaping.h"
#include "tools/qingcloud_sim/request_decoding.h"
#include "tools/qingcloud_sim/simulator.h"

namespace qingcloud_sim {
namespace {

const char* const BOSS2_FIELDS[] = {"access_key_id", "action", "params", "time_stamp", "signature"};

// A back-office request is a form of exactly the five fields, once each, with
// the same action inside "params" as beside it.
void check_boss2_form(const Decoded_Request& request) {
  for (const auto& [name, value] : request.pairs) {
    bool known = false;
    for (const char* field : BOSS2_FIELDS)
      known = known || name == field;
    if (!known) throw parameter_error("parameter [" + name + "] belongs inside \"params\"");
  }
  for (const char* field : BOSS2_FIELDS) {
    std::size_t n = 0;
    for (const auto& pair : request.pairs)
      n += pair.first == field;
    if (n > 1)
      throw parameter_error(std::string("parameter [") + field + "] is given more than once");
  }
  if (request.params) {
    const std::string inner = request.params->text_or("action", request.action);
    if (inner != request.action)
      throw parameter_error("the action inside \"params\" differs from the action of the request");
  }
}

Api_Call to_call(const Decoded_Request& request, Caller caller) {
  if (request.packed()) check_boss2_form(request);
  if (request.action.empty()) throw missing_parameter("action");
  if (request.params_error) throw *request.params_error;
  Api_Call call;
  call.path = request.path;
  call.action = request.action;
  call.params = *request.params;
  call.caller = std::move(caller);
  return call;
}

}  // namespace

Simulator::Answer Simulator::answer_api(const Decoded_Request& request,
                                        const Chosen_Faults& chosen) {
  Answer answer;
  if (chosen.answer) {
    const Fault& f = *chosen.answer;
    switch (f.kind) {
      case Fault_Kind::DROP_CONNECTION:
        answer.drop = true;
        answer.status = 0;
        return answer;
      case Fault_Kind::RET_CODE:
        answer.body = f.message.empty() ? "{\"ret_code\":" + std::to_string(f.code) + "}"
                                        : error_reply(f.code, f.message);
        answer.ret_code = f.code;
        return answer;
      default:  // HTTP_STATUS, NOT_JSON
        answer.status = f.status;
        answer.body = f.body.value_or(std::string());
        answer.content_type = f.kind == Fault_Kind::NOT_JSON ? "text/html" : "application/json";
        return answer;
    }
  }
  try {
    if (request.error) throw *request.error;
    Caller caller = authenticate(request, platform_, clock_.wall_now(), max_clock_skew_.load());
    if (request.path == BACK_OFFICE_PATH && !caller.back_office)
      throw permission_denied("the access key [" + caller.access_key_id +
                              "] may not call the back-office API");
    const Api_Call call = to_call(request, std::move(caller));
    const Call_Effects effects{chosen.has(Fault_Kind::JOB_FAILS),
                               chosen.has(Fault_Kind::LEASE_NEVER_ACTIVE)};
    answer.body = platform_.call(call, effects);
    answer.ret_code = RET_OK;
  } catch (const Api_Error& e) {
    answer.body = error_reply(e.ret_code(), e.what());
    answer.ret_code = e.ret_code();
  } catch (const std::exception& e) {
    answer.body = error_reply(RET_INTERNAL_ERROR, std::string("InternalError, ") + e.what());
    answer.ret_code = RET_INTERNAL_ERROR;
  }
  if (chosen.has(Fault_Kind::NO_RET_CODE)) answer.ret_code = -1;
  answer.body = shape_reply(std::move(answer.body), chosen);
  return answer;
}

void Simulator::serve_api(const httplib::Request& req, httplib::Response& res,
                          std::string_view raw) {
  const auto started = std::chrono::steady_clock::now();
  const std::uint64_t epoch = stats_.epoch();
  Decoded_Request request =
      decode_request(req.method, req.path, raw, req.get_header_value("Content-Type"));
  const Chosen_Faults chosen =
      faults_.take(request.action, traits_of(request.action, request.offset()));
  if (chosen.delay_ms > 0) wait_unless_stopping(chosen.delay_ms);

  Answer answer = answer_api(request, chosen);
  Recorded_Request record;
  record.method = std::move(request.method);
  record.path = std::move(request.path);
  record.action = std::move(request.action);
  record.form = std::move(request.pairs);
  const std::size_t question = req.target.find('?');
  if (question != std::string::npos) record.query = req.target.substr(question + 1);
  if (request.params) record.params = request.params->object();
  record.http_status = answer.status;
  record.ret_code = answer.ret_code;
  if (options_.log_requests) {
    const auto elapsed = std::chrono::steady_clock::now() - started;
    log_request(record, std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
  }
  // Recorded before the answer leaves, so that a client that has its answer
  // finds the request in the stats.
  stats_.record(std::move(record), epoch);

  if (answer.drop) {
    // No answer at all: the peer sees the connection end.
    shutdown_connections(req.local_port, req.remote_port);
  } else {
    res.status = answer.status;
    if (!answer.body.empty() || answer.status == 200) {
      // The body is moved in; pages are large and copies cost.
      res.set_header("Content-Type", answer.content_type);
      res.body = std::move(answer.body);
    }
  }
}

void Simulator::log_request(const Recorded_Request& r, long long micros) const {
  std::fprintf(stderr, "qingcloud-sim: %s %s %s -> HTTP %d ret_code %d (%lld us)\n",
               r.method.c_str(), r.path.c_str(), r.action.empty() ? "-" : r.action.c_str(),
               r.http_status, r.ret_code, micros);
}

}  // namespace qingcloud_sim
