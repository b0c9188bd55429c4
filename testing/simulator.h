#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/sim_client.h"
#include "tools/qingcloud_sim/demo_inventory.h"
#include "tools/qingcloud_sim/simulator.h"

namespace testing_support {

// The QingCloud API simulator, serving in this test program on 127.0.0.1
// and an ephemeral port.  Start one per test binary through `shared()` and
// derive test fixtures from `Simulator_Test`, which resets it before every
// test:
//
//   class Login_Test : public testing_support::Simulator_Test {};
//
//   TEST_F(Login_Test, Pages_through_instances) {
//     sim().inject(Fault::total_count_drift().on("DescribeInstances"));
//     ... run the client against sim().host(), sim().port() with
//         Simulator::BOSS_KEY_ID / BOSS_SECRET ...
//     EXPECT_EQ(sim().requests("DescribeInstances"), 2u);
//     EXPECT_EQ(sim().connections_accepted(), 1u);       // keep-alive held
//     EXPECT_EQ(sim().last_request("DescribeInstances").param("offset"), "100");
//   }
//
// The demo inventory (zones "pek3a", "sh1a"; users "ops", "dev"; version
// "5.1.1") is served, jobs end and leases become active at once (job and
// lease seconds 0) unless a test says otherwise; the clock follows the system
// clock.  Faults (see tools/qingcloud_sim/faults.h):
//   Fault::http_status(404, "gone")   Fault::http_status(200)   (no body)
//   Fault::not_json()                 Fault::no_ret_code()
//   Fault::ret_code(1400, "PermissionDenied, ...")
//   Fault::delay(200)                 Fault::drop_connection()
//   Fault::total_count_drift()        Fault::empty_pages(2000000000)
//   Fault::malformed_record()
//   Fault::job_fails()                Fault::lease_never_active()
// each `.on("Action")` (default: any) and `.times(n)` (default 1) or
// `.forever()`.
class Simulator {
 public:
  using Fault = qingcloud_sim::Fault;
  using Recorded_Request = qingcloud_sim::Recorded_Request;

  static constexpr const char* BOSS_KEY_ID = qingcloud_sim::DEMO_BOSS_KEY_ID;
  static constexpr const char* BOSS_SECRET = qingcloud_sim::DEMO_BOSS_SECRET;
  static constexpr const char* OPS_USER_ID = qingcloud_sim::DEMO_OPS_USER_ID;
  static constexpr const char* OPS_KEY_ID = qingcloud_sim::DEMO_OPS_KEY_ID;
  static constexpr const char* OPS_SECRET = qingcloud_sim::DEMO_OPS_SECRET;
  static constexpr const char* DEV_USER_ID = qingcloud_sim::DEMO_DEV_USER_ID;
  static constexpr const char* DEV_KEY_ID = qingcloud_sim::DEMO_DEV_KEY_ID;
  static constexpr const char* DEV_SECRET = qingcloud_sim::DEMO_DEV_SECRET;
  static constexpr const char* VERSION = qingcloud_sim::DEMO_VERSION;

  // The simulator of this test binary: started on first use, stopped when
  // the program ends.
  static Simulator& shared();

  // The options tests start with: 127.0.0.1, a free port, job and lease
  // seconds 0.
  static qingcloud_sim::Options test_options();

  // A simulator of its own (for example with TLS or another inventory),
  // started at once.
  explicit Simulator(
      qingcloud_sim::Options options = test_options(),
      qingcloud_sim::Simulator::Inventory_Source source = qingcloud_sim::demo_inventory);

  const std::string& host() const { return server_.host(); }
  int port() const { return server_.port(); }

  // Faults for the next requests.
  void inject(Fault fault) { server_.inject(std::move(fault)); }
  void clear_faults() { server_.clear_faults(); }

  // What went over the wire since the last reset.
  qingcloud_sim::Stats stats() const { return server_.stats(); }
  void reset_stats() { server_.reset_stats(); }
  std::uint64_t requests(const std::string& action) const;
  std::uint64_t requests() const;
  std::uint64_t connections_accepted() const;
  // Closes every connection the simulator holds, as a server whose keep-alive
  // time-out ran out closes the idle ones.
  void close_connections();
  // The most recent request (of `action`, when given); fails the test and
  // returns an empty record when there is none.
  Recorded_Request last_request(const std::string& action = std::string()) const;
  // The kept requests of `action`, oldest first.
  std::vector<Recorded_Request> requests_of(const std::string& action) const;

  // The platform's clock: `advance_clock` lets jobs and leases progress
  // without moving the wall clock that time stamps are checked against;
  // `freeze_clock` pins the wall clock (and so the platform's time).
  void advance_clock(std::int64_t seconds) { server_.clock().advance(seconds); }
  void freeze_clock(std::int64_t seconds) { server_.clock().freeze(seconds); }
  std::int64_t now() const;
  std::int64_t wall_now() const;

  void set_job_seconds(int seconds) { server_.set_job_seconds(seconds); }
  void set_lease_seconds(int seconds) { server_.set_lease_seconds(seconds); }
  void set_max_clock_skew(int seconds) { server_.set_max_clock_skew(seconds); }

  // Back to the start: the demo inventory, no faults, fresh stats, the
  // system clock, job and lease seconds 0.
  void reset() { server_.reset(); }

  // A signing client with a key (the back-office key by default) whose time
  // stamps follow this simulator's wall clock.
  Sim_Client client(const std::string& key_id = BOSS_KEY_ID,
                    const std::string& secret = BOSS_SECRET);

  qingcloud_sim::Simulator& server() { return server_; }

  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

 private:
  mutable qingcloud_sim::Simulator server_;
  int canary_source_ = 0;  // the instance passwords it was sent (see canary.h)
};

// The parameters of a recorded call without those every call carries
// ("action", "version", "signature_version", "signature_method",
// "access_key_id", "time_stamp", "signature") and without paging ("offset",
// "limit"): what the operation itself asked for.  GET values are texts.
boost::json::object own_params(const Simulator::Recorded_Request& request);

// Base of test fixtures that use the shared simulator: resets it before each
// test.
class Simulator_Test : public ::testing::Test {
 protected:
  void SetUp() override { sim().reset(); }
  static Simulator& sim() { return Simulator::shared(); }
};

}  // namespace testing_support
