#include "instance_handler/qingcloud_instance_handler.h"

#include <cerrno>
#include <dlfcn.h>
#include <memory>
#include <new>

#include <gtest/gtest.h>

#include "testing/log_capture.h"
#include "testing/nothrow_new_failure.h"

namespace {

using Factory = Instance_Handler* (*)(Instance_Handler_Exterminator*);

// The checks every way of making the handler must pass.
void expect_proxy_behaviour(Instance_Handler& handler) {
  EXPECT_EQ(handler.type_name(), "qingcloud");

  instances_type instances;
  ASSERT_EQ(handler.probe_instances(instances), 0);
  ASSERT_EQ(instances.size(), 1u);
  const auto& proxy = instances.at("QingCloud_Proxy");
  EXPECT_EQ(proxy->name, "QingCloud_Proxy");
  EXPECT_EQ(proxy->type, "qingcloud");
  EXPECT_EQ(proxy->uuid, "");
  EXPECT_EQ(proxy->options, (json_spirit::Object{{"is_proxy", true}}));
  EXPECT_TRUE(proxy->logon_options.empty());

  std::string state = "stale";
  EXPECT_EQ(&handler.get_state("never-probed", state), &state);
  EXPECT_EQ(state, "enabled");
  EXPECT_EQ(handler.get_state("QingCloud_Proxy", state), "enabled");

  EXPECT_EQ(handler.logon("QingCloud_Proxy", "user", "pass", nullptr), 0);
  json_spirit::Object options{{"x", 1}};
  EXPECT_EQ(handler.logon(nullptr, nullptr, nullptr, &options), 0);
}

TEST(QingCloud_Instance_Handler, ProbeReplacesOnlyTheProxyEntry) {
  QingCloud_Instance_Handler handler;
  instances_type instances;
  auto other = std::make_shared<Instance>();
  auto stale = std::make_shared<Instance>();
  instances["other"] = other;
  instances["QingCloud_Proxy"] = stale;
  ASSERT_EQ(handler.probe_instances(instances), 0);
  ASSERT_EQ(handler.probe_instances(instances), 0);
  EXPECT_EQ(instances.size(), 2u);
  EXPECT_EQ(instances.at("other"), other);
  EXPECT_NE(instances.at("QingCloud_Proxy"), stale);
  EXPECT_EQ(instances.at("QingCloud_Proxy")->type, "qingcloud");
}

TEST(QingCloud_Instance_Handler, FactoryFillsTheDeleterSlot) {
  Instance_Handler_Exterminator gobble = nullptr;
  Instance_Handler* handler = _make_QingCloud_Instance_Handler(&gobble);
  ASSERT_NE(handler, nullptr);
  ASSERT_EQ(gobble, &_gobble_QingCloud_Instance_Handler);
  expect_proxy_behaviour(*handler);
  gobble(handler);
  gobble(nullptr);  // ignored
}

TEST(QingCloud_Instance_Handler, FactoryAcceptsANullSlot) {
  Instance_Handler* handler = _make_QingCloud_Instance_Handler(nullptr);
  ASSERT_NE(handler, nullptr);
  _gobble_QingCloud_Instance_Handler(handler);
}

TEST(QingCloud_Instance_Handler, FactoryReportsENOMEM) {
  Instance_Handler_Exterminator gobble = nullptr;
  errno = 0;
  Instance_Handler* handler = nullptr;
  {
    testing_support::Nothrow_New_Failure fail_next;
    handler = _make_QingCloud_Instance_Handler(&gobble);
  }
  EXPECT_EQ(handler, nullptr);
  EXPECT_EQ(errno, ENOMEM);
}

TEST(QingCloud_Instance_Handler, ProbeReportsMemoryExhaustionInsteadOfThrowing) {
  testing_support::Log_Capture log;
  QingCloud_Instance_Handler handler;
  instances_type instances;
  auto other = std::make_shared<Instance>();
  instances["other"] = other;
  int result = 0;
  errno = 0;
  {
    testing_support::Allocation_Failure fail_next;
    result = handler.probe_instances(instances);
  }
  EXPECT_EQ(result, -1);
  EXPECT_EQ(errno, ENOMEM);
  EXPECT_EQ(instances.size(), 1u);
  EXPECT_TRUE(log.has("Failed to probe instances, exception: std::bad_alloc.\n"));
}

// The host's way: load the built plug-in and find the factory by name.
TEST(QingCloud_Instance_Handler, WorksThroughTheLoadedPlugin) {
  void* lib = dlopen(QINGCLOUD_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto make = reinterpret_cast<Factory>(dlsym(lib, "_make_QingCloud_Instance_Handler"));
  ASSERT_NE(make, nullptr);
  EXPECT_EQ(dlsym(lib, "_gobble_QingCloud_Instance_Handler"), nullptr);

  Instance_Handler_Exterminator gobble = nullptr;
  Instance_Handler* handler = make(&gobble);
  ASSERT_NE(handler, nullptr);
  ASSERT_NE(gobble, nullptr);
  expect_proxy_behaviour(*handler);
  gobble(handler);
  dlclose(lib);
}

}  // namespace
