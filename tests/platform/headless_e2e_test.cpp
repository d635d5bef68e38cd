// `rivulo --headless` on real packets: the program runs inside namespace A of
// a fresh namespace pair and conditions the traffic between A and B.
// Tolerances allow for a shared two-core machine running sanitized builds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/platform/namespace_pair.h"

namespace rivulo {
namespace {

using test::NamespacePair;
using test::parsePing;
namespace fs = std::filesystem;

// One effect node of a chain: kind and its one value.
struct Effect {
  int type;  // 5 Latency, 6 Drop, 8 Throttle, 9 Hold Gate, 10 Burst, 11 Duplicate, 12 Nth Drop, 17 Block
  double value = 0;
};

// A PC and a Router joined by an OUT chain and an IN chain through the given
// effects (an empty list: no chain of that colour).
std::string projectText(const std::vector<Effect>& out, const std::vector<Effect>& in) {
  std::ostringstream s;
  s << "LINKWEAVE 3\nVIEW 1 1\n";
  s << "NODE 1 1 \"PC 1\" 40 60 0 0 0 0 0 0 0 0 1\n";
  s << "NODE 2 0 \"Router 2\" 600 60 0 0 0 0 0 0 0 0 1\n";
  int id = 3, wire = 1;
  std::ostringstream wires;
  auto chain = [&](const std::vector<Effect>& effects, int from, int to, int direction) {
    if (effects.empty()) return;
    int previous = from;
    for (const Effect& e : effects) {
      double v[8] = {};  // delay jitter drop limit hold burst dup (nth separately)
      int nth = 0;
      switch (e.type) {
        case 5: v[0] = e.value; break;
        case 6: v[2] = e.value; break;
        case 8: v[3] = e.value; break;
        case 9: v[4] = e.value; break;
        case 10: v[5] = e.value; break;
        case 11: v[6] = e.value; break;
        case 12: nth = static_cast<int>(e.value); break;
        default: break;
      }
      s << "NODE " << id << " " << e.type << " \"Effect " << id << "\" " << 100 + 60 * id << " "
        << (direction ? 200 : 100);
      for (int i = 0; i < 7; ++i) s << " " << v[i];
      s << " " << nth << " 1\n";
      wires << "WIRE " << wire++ << " " << previous << " " << id << " " << direction << "\n";
      previous = id++;
    }
    wires << "WIRE " << wire++ << " " << previous << " " << to << " " << direction << "\n";
  };
  chain(out, 1, 2, 0);
  chain(in, 2, 1, 1);
  return s.str() + wires.str();
}

// One `rivulo --headless` process inside a namespace; killed if still alive
// when the object goes.
class Headless {
 public:
  Headless(const std::string& ns, const std::string& project, const std::string& filter = "true",
           double seconds = 0) {
    outputPath_ = fs::temp_directory_path() / ("rivulo-headless-" + std::to_string(getpid()) + "-" +
                                               std::to_string(serial_++) + ".out");
    std::vector<std::string> args = {"ip", "netns", "exec", ns, RIVULO_BINARY, "--headless", project,
                                     "--filter", filter};
    if (seconds > 0) {
      args.push_back("--seconds");
      args.push_back(std::to_string(seconds));
    }
    pid_ = fork();
    if (pid_ == 0) {
      int fd = ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(fd, 1);
      dup2(fd, 2);
      setenv("ASAN_OPTIONS", "detect_leaks=1", 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execvp("ip", argv.data());
      _exit(127);
    }
  }
  ~Headless() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove(outputPath_, ec);
  }
  std::string output() const {
    std::ifstream in(outputPath_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // True once the pipeline runs (bounded wait); false when it exited.
  bool waitStarted() {
    for (int i = 0; i < 200; ++i) {
      if (output().find("Active simulation started") != std::string::npos) return true;
      if (exited(0)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // Waits up to `ms` for the process to end; true when it has.
  bool exited(int ms) {
    if (pid_ <= 0) return true;
    for (int waited = 0;; waited += 50) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        return true;
      }
      if (waited >= ms) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  void signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }
  int exitCode() const { return exitCode_; }

 private:
  static inline int serial_ = 0;
  fs::path outputPath_;
  pid_t pid_ = -1;
  int exitCode_ = -1;
};

class HeadlessE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string reason = test::namespaceSkipReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    net_ = std::make_unique<NamespacePair>();
    ASSERT_TRUE(net_->ok()) << net_->error();
    project_ = fs::temp_directory_path() / ("rivulo-e2e-" + std::to_string(getpid()) + ".lwv");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove(project_, ec);
  }
  void writeProject(const std::vector<Effect>& out, const std::vector<Effect>& in) {
    // Written beside and renamed, as an editor saves: the watcher never
    // sees half a file.
    fs::path tmp = project_.string() + ".tmp";
    std::ofstream(tmp) << projectText(out, in);
    fs::rename(tmp, project_);
  }
  test::PingStats pingB(const std::string& options) {
    return parsePing(net_->in(net_->a(), "ping " + options + " " + NamespacePair::kAddrB).output);
  }
  bool ourRules() {
    return net_->in(net_->a(), "iptables-save -t mangle; ip6tables-save -t mangle").output.find("RIVULO") !=
           std::string::npos;
  }
  // A clean stop by SIGINT; the run's output.
  std::string stop(Headless& run) {
    run.signal(SIGINT);
    EXPECT_TRUE(run.exited(10000)) << "no exit within 10 s after SIGINT";
    EXPECT_EQ(run.exitCode(), 0) << run.output();
    EXPECT_FALSE(ourRules()) << "rules left after exit";
    return run.output();
  }
  std::unique_ptr<NamespacePair> net_;
  fs::path project_;
};

TEST_F(HeadlessE2E, LatencyInBothDirectionsAddsUp) {
  writeProject({{5, 100}}, {{5, 50}});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  // -U: user-to-user times; the kernel's receive stamp is taken before an
  // arriving packet waits in our queue.
  auto p = pingB("-U -c 8 -i 0.2 -W 3");
  EXPECT_EQ(p.received, 8);
  EXPECT_GE(p.minMs, 148.0);
  EXPECT_LT(p.avgMs, 190.0);
  std::string out = stop(run);
  EXPECT_NE(out.find("CAPTURED IN"), std::string::npos);
  EXPECT_NE(out.find("final"), std::string::npos);
}

TEST_F(HeadlessE2E, RandomDropAndEveryNthDrop) {
  writeProject({{6, 30}}, {});
  {
    Headless run(net_->a(), project_.string(), "icmp");
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto p = pingB("-q -c 300 -i 0.005 -W 1");
    ASSERT_EQ(p.transmitted, 300);
    const double lost = 100.0 * (p.transmitted - p.received) / p.transmitted;
    EXPECT_GT(lost, 18.0);  // 30 % +- about three standard deviations
    EXPECT_LT(lost, 42.0);
    stop(run);
  }
  writeProject({{12, 3}}, {});
  {
    // Only echo requests leave A under "icmp", so the count is exact.
    Headless run(net_->a(), project_.string(), "icmp");
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto p = pingB("-q -c 30 -i 0.02 -W 1");
    EXPECT_EQ(p.transmitted, 30);
    EXPECT_EQ(p.received, 20);
    stop(run);
  }
}

TEST_F(HeadlessE2E, DuplicateEveryPacket) {
  writeProject({{11, 100}}, {});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  auto p = pingB("-c 10 -i 0.1 -W 2");
  EXPECT_EQ(p.received, 10);
  EXPECT_GE(p.duplicates, 9);  // ping may quit before the last copy arrives
  stop(run);
}

TEST_F(HeadlessE2E, BlockOneDirectionOnly) {
  writeProject({}, {{17, 0}});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  auto rxBefore = net_->in(net_->b(), "cat /sys/class/net/rvb*/statistics/rx_packets").output;
  auto p = pingB("-c 5 -i 0.1 -W 1");
  auto rxAfter = net_->in(net_->b(), "cat /sys/class/net/rvb*/statistics/rx_packets").output;
  EXPECT_EQ(p.received, 0);  // replies arriving at A are blocked
  EXPECT_GE(std::stol(rxAfter) - std::stol(rxBefore), 5) << "requests leaving A must still reach B";
  stop(run);
}

TEST_F(HeadlessE2E, ThrottleHoldsTcpToTheRate) {
  if (test::runCommand("command -v iperf3").exitCode != 0) GTEST_SKIP() << "needs iperf3";
  writeProject({{8, 100}}, {});  // 100 KB/s = 102400 bytes/s leaving A
  net_->in(net_->b(), "iperf3 -s -1 -D -p 5201");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  auto r = net_->in(net_->a(), std::string("timeout 20 iperf3 -c ") + NamespacePair::kAddrB +
                                   " -p 5201 -t 6 -O 2 -f k | grep receiver");
  double kbits = 0;
  std::sscanf(r.output.c_str() + std::min(r.output.size(), r.output.find("KBytes") + 6), " %lf", &kbits);
  const double ratio = kbits * 1000 / 8 / 102400.0;
  EXPECT_GT(ratio, 0.80) << r.output;
  EXPECT_LT(ratio, 1.05) << r.output;
  stop(run);
}

// Large TCP segments that are held (re-sent by us, cut to the MTU) or copied
// must arrive with valid checksums, or TCP would stall to nothing.
TEST_F(HeadlessE2E, TcpSurvivesHeldAndCopiedLargeSegments) {
  if (test::runCommand("command -v iperf3").exitCode != 0) GTEST_SKIP() << "needs iperf3";
  int port = 5210;
  auto mbits = [&](const std::string& extra) {
    const std::string p = std::to_string(port++);
    net_->in(net_->b(), "iperf3 -s -1 -D -p " + p);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto r = net_->in(net_->a(), std::string("timeout 20 iperf3 -c ") + NamespacePair::kAddrB + " -p " + p + " -t 3 -f m " +
                                     extra + " | grep receiver");
    size_t unit = r.output.find("Mbits/sec");
    if (unit == std::string::npos) return 0.0;
    size_t start = r.output.rfind(' ', unit - 2);
    return std::atof(r.output.c_str() + start + 1);
  };
  writeProject({{5, 20}}, {{11, 100}});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  EXPECT_GT(mbits(""), 20.0) << "held leaving segments";
  EXPECT_GT(mbits("-R"), 20.0) << "copied arriving segments";
  std::string out = stop(run);
  EXPECT_EQ(out.find("DRIVER ERROR"), std::string::npos) << out;
}

TEST_F(HeadlessE2E, HoldAndBurstShapes) {
  writeProject({{9, 250}}, {});
  {
    Headless run(net_->a(), project_.string());
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto p = pingB("-c 4 -i 0.2 -W 2");
    EXPECT_EQ(p.received, 4);
    EXPECT_GE(p.minMs, 248.0);
    EXPECT_LT(p.maxMs, 320.0);
    stop(run);
  }
  writeProject({{10, 500}}, {});
  {
    // Echoes every 100 ms against 500 ms windows: the first of a window waits
    // about 500 ms, the last about 100 ms, and they leave together.
    Headless run(net_->a(), project_.string());
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto p = pingB("-c 12 -i 0.1 -W 2");
    EXPECT_EQ(p.received, 12);
    EXPECT_GT(p.maxMs, 380.0);
    EXPECT_LT(p.minMs, 200.0);
    EXPECT_LT(p.maxMs, 600.0);
    stop(run);
  }
}

TEST_F(HeadlessE2E, StopDeliversHeldPacketsAndRemovesRules) {
  writeProject({{5, 20000}}, {});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  EXPECT_TRUE(ourRules());
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    run.signal(SIGTERM);
  });
  auto p = pingB("-c 5 -i 0.1 -W 8");
  stopper.join();
  EXPECT_TRUE(run.exited(10000));
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(p.received, 5) << "held packets were not delivered on stop";
  EXPECT_LT(p.maxMs, 5000.0);
  EXPECT_FALSE(ourRules());
  EXPECT_NE(run.output().find("final"), std::string::npos);
}

TEST_F(HeadlessE2E, KilledRunLeavesTrafficFlowingAndTheNextStartCleansUp) {
  writeProject({{5, 200}}, {});
  {
    Headless run(net_->a(), project_.string());
    ASSERT_TRUE(run.waitStarted()) << run.output();
    run.signal(SIGKILL);
    EXPECT_TRUE(run.exited(5000));
  }
  EXPECT_TRUE(ourRules());
  auto p = pingB("-c 3 -i 0.2 -W 1");
  EXPECT_EQ(p.received, 3) << "--queue-bypass must let traffic pass while nobody reads the queue";
  EXPECT_LT(p.maxMs, 100.0);
  {
    Headless run(net_->a(), project_.string(), "true", 1.5);
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto listing = net_->in(net_->a(), "iptables -t mangle -S OUTPUT").output;
    EXPECT_EQ(listing.find("RIVULO_OUT"), listing.rfind("RIVULO_OUT")) << "stale rules kept:\n" << listing;
    EXPECT_TRUE(run.exited(10000));
    EXPECT_EQ(run.exitCode(), 0);
  }
  EXPECT_FALSE(ourRules());
}

TEST_F(HeadlessE2E, TcpFilterLeavesPingUntouched) {
  writeProject({{5, 200}}, {});
  Headless run(net_->a(), project_.string(), "tcp");
  ASSERT_TRUE(run.waitStarted()) << run.output();
  auto p = pingB("-c 4 -i 0.2 -W 2");
  EXPECT_EQ(p.received, 4);
  EXPECT_LT(p.maxMs, 100.0);
  std::string out = stop(run);
  EXPECT_NE(out.find("final [") , std::string::npos);
  EXPECT_NE(out.find("CAPTURED OUT 0 "), std::string::npos) << out;
}

TEST_F(HeadlessE2E, LoopbackIsConditionedOnlyWhenTheFilterNamesIt) {
  writeProject({{5, 100}}, {});
  auto pingLo = [&] { return parsePing(net_->in(net_->a(), "ping -c 3 -i 0.2 -W 2 127.0.0.1").output); };
  {
    Headless run(net_->a(), project_.string());
    ASSERT_TRUE(run.waitStarted()) << run.output();
    EXPECT_LT(pingLo().maxMs, 50.0);
    stop(run);
  }
  {
    Headless run(net_->a(), project_.string(), "loopback");
    ASSERT_TRUE(run.waitStarted()) << run.output();
    auto p = pingLo();
    EXPECT_EQ(p.received, 3);
    EXPECT_GE(p.minMs, 195.0);  // the echo and its reply both leave through lo
    EXPECT_LT(p.avgMs, 260.0);
    stop(run);
  }
}

TEST_F(HeadlessE2E, SavedChangeIsAppliedWithinASecond) {
  writeProject({{5, 10}}, {});
  Headless run(net_->a(), project_.string());
  ASSERT_TRUE(run.waitStarted()) << run.output();
  writeProject({{5, 200}}, {});
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  auto p = pingB("-c 3 -i 0.2 -W 2");
  EXPECT_EQ(p.received, 3);
  EXPECT_GE(p.minMs, 195.0);
  std::string out = stop(run);
  EXPECT_NE(out.find("Reloaded"), std::string::npos) << out;
}

TEST_F(HeadlessE2E, LoadAndStartFailuresExitWithOne) {
  Headless missing(net_->a(), "/nonexistent/rivulo-e2e.lwv");
  EXPECT_TRUE(missing.exited(10000));
  EXPECT_EQ(missing.exitCode(), 1);
  EXPECT_NE(missing.output().find("Load failed"), std::string::npos) << missing.output();

  writeProject({{5, 10}}, {});
  Headless badFilter(net_->a(), project_.string(), "tcp and (");
  EXPECT_TRUE(badFilter.exited(10000));
  EXPECT_EQ(badFilter.exitCode(), 1);
  EXPECT_NE(badFilter.output().find("Could not start active simulation: Packet filter rejected: "), std::string::npos)
      << badFilter.output();
  EXPECT_FALSE(ourRules());

  if (test::runCommand("command -v setpriv").exitCode != 0) GTEST_SKIP() << "needs setpriv for the permission case";
  // uid 0 without CAP_NET_ADMIN (dropped from the bounding set before exec).
  auto r = net_->in(net_->a(), std::string("setpriv --bounding-set -net_admin ") + RIVULO_BINARY + " --headless " +
                                   project_.string() + " --seconds 1");
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Access denied. Run Rivulo as root or give it CAP_NET_ADMIN."), std::string::npos)
      << r.output;
  EXPECT_FALSE(ourRules());
}

}  // namespace
}  // namespace rivulo
