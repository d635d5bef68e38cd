// The Linux monitor probe against real sockets, between two network
// namespaces made for the test: A (10.213.0.1) pings B (10.213.0.2) over a
// veth pair. Nothing leaves the machine: neither namespace has a default
// route, so even the editor's default target and DNS look-ups fail locally.
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if_arp.h>
#include <net/if.h>
#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/editor.h"
#include "platform/linux/icmp_probe.h"
#include "platform/linux/interface_counters.h"
#include "platform/linux/nfqueue_driver.h"

namespace rivulo {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr const char* kNsA = "rivmon-a";
constexpr const char* kNsB = "rivmon-b";
constexpr const char* kAddressB = "10.213.0.2";
constexpr const char* kBlackholed = "10.216.0.9";          // B drops it silently
constexpr const char* kHostUnreachable = "10.217.0.9";     // B answers host unreachable
constexpr const char* kNetUnreachable = "10.218.0.9";      // B answers net unreachable
constexpr const char* kLocallyUnreachable = "10.219.0.9";  // A refuses to send it
constexpr const char* kProhibited = "10.220.0.9";          // B answers administratively prohibited

bool sh(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

void deleteNamespaces() {
  sh(std::string("ip netns del ") + kNsA);
  sh(std::string("ip netns del ") + kNsB);
}

uint32_t ipv4(const char* text) {
  in_addr address{};
  inet_pton(AF_INET, text, &address);
  return address.s_addr;
}

// Moves the calling thread into a namespace until the scope ends. Sockets
// and threads made meanwhile stay in it.
class InNamespace {
 public:
  explicit InNamespace(const char* name) {
    saved_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open((std::string("/run/netns/") + name).c_str(), O_RDONLY | O_CLOEXEC);
    entered_ = saved_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) ::close(target);
  }
  ~InNamespace() {
    if (entered_) ::setns(saved_, CLONE_NEWNET);
    if (saved_ >= 0) ::close(saved_);
  }
  bool entered() const { return entered_; }

 private:
  int saved_ = -1;
  bool entered_ = false;
};

class MonitorProbeNetns : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (::geteuid() != 0) {
      skipReason_ = "needs root to create network namespaces";
      return;
    }
    if (!sh("command -v ip") || !sh("command -v iptables")) {
      skipReason_ = "needs iproute2 (ip) and iptables";
      return;
    }
    deleteNamespaces();
    // A routes the test prefixes to B. B drops 10.216/24 silently and
    // rejects 10.217/24 and 10.218/24 with ICMP errors; its ICMP rate limit
    // is off so that every probe gets its answer.
    const char* setup[] = {
        "ip netns add rivmon-a",
        "ip netns add rivmon-b",
        "ip -n rivmon-a link add rivmon-va type veth peer name rivmon-vb netns rivmon-b",
        "ip -n rivmon-a addr add 10.213.0.1/24 dev rivmon-va",
        "ip -n rivmon-a link set rivmon-va up",
        "ip -n rivmon-a link set lo up",
        "ip -n rivmon-b addr add 10.213.0.2/24 dev rivmon-vb",
        "ip -n rivmon-b link set rivmon-vb up",
        "ip -n rivmon-b link set lo up",
        "ip -n rivmon-a route add 10.216.0.0/24 via 10.213.0.2",
        "ip -n rivmon-a route add 10.217.0.0/24 via 10.213.0.2",
        "ip -n rivmon-a route add 10.218.0.0/24 via 10.213.0.2",
        "ip -n rivmon-a route add 10.220.0.0/24 via 10.213.0.2",
        "ip -n rivmon-a route add unreachable 10.219.0.0/24",
        "ip netns exec rivmon-b sysctl -qw net.ipv4.ip_forward=1",
        "ip netns exec rivmon-b sysctl -qw net.ipv4.icmp_ratelimit=0",
        "ip -n rivmon-b route add blackhole 10.216.0.0/24",
        "ip -n rivmon-b route add 10.217.0.0/24 dev rivmon-vb",
        "ip -n rivmon-b route add 10.218.0.0/24 dev rivmon-vb",
        "ip -n rivmon-b route add 10.220.0.0/24 dev rivmon-vb",
        "ip netns exec rivmon-b iptables -A FORWARD -d 10.217.0.0/24 -j REJECT --reject-with icmp-host-unreachable",
        "ip netns exec rivmon-b iptables -A FORWARD -d 10.218.0.0/24 -j REJECT --reject-with icmp-net-unreachable",
        "ip netns exec rivmon-b iptables -A FORWARD -d 10.220.0.0/24 -j REJECT --reject-with icmp-admin-prohibited",
    };
    bool ok = true;
    for (const char* command : setup) ok = ok && sh(command);
    if (!ok) {
      deleteNamespaces();
      FAIL() << "could not set up the test namespaces";
    }
    ready_ = true;
  }
  static void TearDownTestSuite() {
    if (ready_) deleteNamespaces();
    ready_ = false;
  }
  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    ASSERT_TRUE(ready_);
  }
  // Lets root in namespace A use the unprivileged datagram socket, or not.
  static void allowDatagramPing(bool allow) {
    ASSERT_TRUE(sh(std::string("ip netns exec ") + kNsA + " sysctl -qw net.ipv4.ping_group_range='" +
                   (allow ? "0 2147483647" : "1 0") + "'"));
  }

  static inline std::string skipReason_;
  static inline bool ready_ = false;
};

TEST_F(MonitorProbeNetns, PingsAndReportsErrorsOverBothSocketKinds) {
  struct Case {
    const char* target;
    bool online;
    const char* message;
  };
  const Case cases[] = {
      {kAddressB, true, ""},
      {kHostUnreachable, false, "ICMP status 11003 (destination host unreachable)"},
      {kNetUnreachable, false, "ICMP status 11002 (destination net unreachable)"},
      // A "hard" error that also leaves a pending socket error behind.
      {kProhibited, false, "ICMP status 11003 (destination host unreachable)"},
      {kAddressB, true, ""},
      {kLocallyUnreachable, false, "Ping error 113"},  // EHOSTUNREACH from the send
      {kBlackholed, false, "Request timed out"},
  };
  const std::atomic<bool> stop{false};
  for (bool datagram : {true, false}) {
    allowDatagramPing(datagram);
    InNamespace in(kNsA);
    ASSERT_TRUE(in.entered());
    IcmpPinger pinger;
    ASSERT_TRUE(pinger.available());
    EXPECT_EQ(pinger.isRaw(), !datagram);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(datagram ? "datagram " : "raw ") + c.target);
      const auto before = SteadyClock::now();
      const PingResult result = pinger.ping(ipv4(c.target), 400, stop);
      const auto took = SteadyClock::now() - before;
      EXPECT_EQ(result.online, c.online);
      EXPECT_EQ(result.message, c.message);
      if (c.online) {
        EXPECT_GE(result.pingMs, 0.0f);
        EXPECT_LT(result.pingMs, 100.0f);
      } else {
        EXPECT_EQ(result.pingMs, -1.0f);
      }
      if (std::string(c.message) == "Request timed out") {
        EXPECT_GE(took, 400ms);
        EXPECT_LT(took, 700ms);
      }
    }
  }
  allowDatagramPing(false);
}

TEST_F(MonitorProbeNetns, StopEndsTheWaitForAReplyAtOnce) {
  InNamespace in(kNsA);
  ASSERT_TRUE(in.entered());
  IcmpPinger pinger;
  std::atomic<bool> stop{false};
  std::thread stopper([&stop] {
    std::this_thread::sleep_for(200ms);
    stop = true;
  });
  const auto before = SteadyClock::now();
  const PingResult result = pinger.ping(ipv4(kBlackholed), 30000, stop);
  const auto took = SteadyClock::now() - before;
  stopper.join();
  EXPECT_FALSE(result.online);
  EXPECT_LT(took, 400ms);
}

TEST_F(MonitorProbeNetns, ResolvesIpv4OnlyAndLocally) {
  InNamespace in(kNsA);  // the name server is out of reach from here
  ASSERT_TRUE(in.entered());
  struct Case {
    const char* text;
    bool ok;
    const char* dotted;
  };
  const Case cases[] = {
      {"10.213.0.2", true, "10.213.0.2"},
      {"localhost", true, "127.0.0.1"},
      {"rivulo-monitor-test.invalid", false, ""},
      {"::1", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    const ResolveResult result = resolveIpv4(c.text);
    EXPECT_EQ(result.ok, c.ok) << c.text;
    EXPECT_EQ(result.dotted, c.dotted) << c.text;
    if (c.ok) {
      EXPECT_EQ(result.address, ipv4(c.dotted)) << c.text;
    }
  }
}

TEST_F(MonitorProbeNetns, InterfaceTotalsGrowWithTrafficButNotWithLoopback) {
  InNamespace in(kNsA);
  ASSERT_TRUE(in.entered());
  InterfaceCounterReader reader;
  IcmpPinger pinger;
  const std::atomic<bool> stop{false};
  auto pingTimes = [&](const char* target, int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(pinger.ping(ipv4(target), 1000, stop).online) << target;
  };

  const InterfaceCounters start = reader.read();
  ASSERT_TRUE(start.ok);
  pingTimes(kAddressB, 30);
  const InterfaceCounters afterVeth = reader.read();
  ASSERT_TRUE(afterVeth.ok);
  EXPECT_GE(afterVeth.inPackets - start.inPackets, 30u);
  EXPECT_GE(afterVeth.outPackets - start.outPackets, 30u);
  EXPECT_LT(afterVeth.outPackets - start.outPackets, 45u);

  pingTimes("127.0.0.1", 30);
  const InterfaceCounters afterLoopback = reader.read();
  EXPECT_LT(afterLoopback.outPackets - afterVeth.outPackets, 5u);
}

TEST(InterfaceCounting, SkipsDownLoopbackAndTunnelLinks) {
  const unsigned upRunning = IFF_UP | IFF_RUNNING;
  struct Case {
    const char* what;
    LinkCounters link;
    bool counted;
  };
  const Case cases[] = {
      {"ethernet", {ARPHRD_ETHER, upRunning, 10, 20}, true},
      {"ethernet without carrier", {ARPHRD_ETHER, IFF_UP, 10, 20}, false},
      {"ethernet down", {ARPHRD_ETHER, 0, 10, 20}, false},
      {"loopback", {ARPHRD_LOOPBACK, upRunning | IFF_LOOPBACK, 10, 20}, false},
      {"ip-in-ip", {ARPHRD_TUNNEL, upRunning, 10, 20}, false},
      {"ipv6 tunnel", {ARPHRD_TUNNEL6, upRunning, 10, 20}, false},
      {"sit", {ARPHRD_SIT, upRunning, 10, 20}, false},
      {"gre", {ARPHRD_IPGRE, upRunning, 10, 20}, false},
      {"ip6gre", {823 /* ARPHRD_IP6GRE, missing from glibc */, upRunning, 10, 20}, false},
      {"tun", {ARPHRD_NONE, upRunning, 10, 20}, false},
      {"wlan", {ARPHRD_IEEE80211, upRunning, 10, 20}, true},
  };
  std::vector<LinkCounters> links;
  uint64_t in = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(linkIsCounted(c.link), c.counted) << c.what;
    links.push_back(c.link);
    if (c.counted) in += c.link.rxPackets;
  }
  const InterfaceCounters sums = sumLinks(links);
  EXPECT_TRUE(sums.ok);
  EXPECT_EQ(sums.inPackets, in);
  EXPECT_EQ(sums.outPackets, 2 * in);
}

// The editor's monitor with the Linux probe, started inside namespace A.
class EditorInA {
 public:
  explicit EditorInA(const char* target, uint32_t timeoutMs = 1500) {
    InNamespace in(kNsA);
    entered = in.entered();
    EditorServices services;
    services.openAutoload = false;
    services.monitorProbes = [] { return makeLinuxMonitorProbe(); };
    services.pingTarget = target;
    editor = std::make_unique<Editor>(std::move(services));
    if (timeoutMs != editor->pingTimeoutMs) {
      // Restarted (still inside A) so that the first ping already has it.
      editor->stopMonitorThread();
      editor->pingTimeoutMs = timeoutMs;
      editor->startMonitorThread();
    }
  }
  // Takes samples over until `done` holds or `limit` passes.
  template <typename Done>
  bool pollUntil(Done done, std::chrono::milliseconds limit = 5000ms) {
    const auto end = SteadyClock::now() + limit;
    while (SteadyClock::now() < end) {
      editor->pollSample();
      if (done(*editor)) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  bool entered = false;
  std::unique_ptr<Editor> editor;
};

TEST_F(MonitorProbeNetns, EditorMonitorGoesOnlineAndReportsAnUnknownName) {
  EditorInA a(kAddressB);
  ASSERT_TRUE(a.entered);
  ASSERT_TRUE(a.pollUntil([](Editor& e) { return e.pingOnline; })) << a.editor->statusMessage;
  EXPECT_EQ(a.editor->resolvedAddress, kAddressB);
  EXPECT_GE(a.editor->pingMs, 0.0f);
  EXPECT_LT(a.editor->pingMs, 100.0f);
  EXPECT_TRUE(a.editor->countersInitialised);

  std::snprintf(a.editor->targetInput, sizeof(a.editor->targetInput), "rivulo-monitor-test.invalid");
  a.editor->applyTarget();
  ASSERT_TRUE(a.pollUntil([](Editor& e) { return e.statusMessage == "Could not resolve target"; }))
      << a.editor->statusMessage;
  EXPECT_FALSE(a.editor->pingOnline);
  EXPECT_TRUE(a.editor->resolvedAddress.empty());
}

TEST_F(MonitorProbeNetns, ClosingDuringALongPingIsPrompt) {
  EditorInA a(kBlackholed, 30000);
  ASSERT_TRUE(a.entered);
  std::this_thread::sleep_for(500ms);  // well inside the 30-second ping
  const auto before = SteadyClock::now();
  a.editor.reset();
  EXPECT_LT(SteadyClock::now() - before, 500ms);
}

// Echo replies held back by the wired latency still count: the timeout grows
// with the delays in force.
TEST_F(MonitorProbeNetns, FourSecondsOfWiredLatencyStayOnline) {
  InNamespace in(kNsA);  // the driver, its rules and every thread live in A
  ASSERT_TRUE(in.entered());
  EditorServices services;
  services.openAutoload = false;
  services.packetDrivers = makeNfqueueDriverFactory();
  services.monitorProbes = [] { return makeLinuxMonitorProbe(); };
  services.pingTarget = kAddressB;
  Editor editor(std::move(services));
  auto node = [](int32_t id, NodeType type) {
    Node n;
    n.id = id;
    n.type = static_cast<int32_t>(type);
    n.delayMs = 4000;
    n.jitterMs = 0;
    return n;
  };
  editor.nodes = {node(1, NodeType::PC), node(2, NodeType::Latency), node(3, NodeType::Router)};
  editor.connections = {{1, 1, 2, WireDirection::Outbound}, {2, 2, 3, WireDirection::Outbound}};
  ASSERT_TRUE(editor.startSimulation()) << editor.engine.stats().lastError;
  EXPECT_EQ(editor.pingTimeoutMs.load(), 6500u);

  bool delayedReply = false;
  const auto end = SteadyClock::now() + 16s;
  while (!delayedReply && SteadyClock::now() < end) {
    std::this_thread::sleep_for(50ms);
    editor.pollSample();
    delayedReply = editor.pingOnline && editor.pingMs >= 3900.0f;
  }
  EXPECT_TRUE(delayedReply) << editor.statusMessage;
  EXPECT_LT(editor.pingMs, 5000.0f);
  EXPECT_TRUE(editor.statusMessage.empty()) << editor.statusMessage;
  EXPECT_GE(editor.engine.stats().delayed, 1u);
  editor.stopSimulation();
  EXPECT_EQ(editor.pingTimeoutMs.load(), 1500u);
}

}  // namespace
}  // namespace rivulo
