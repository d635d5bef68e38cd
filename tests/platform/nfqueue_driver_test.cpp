// The NFQUEUE driver through its PacketDriver interface, in a child process
// that has moved into a test namespace. A minimal capture/release loop stands
// in for the engine so that the driver's own duties are visible: verdicts,
// raw re-sends of held leaving packets, copies, drops, rule removal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/nfqueue_driver.h"
#include "tests/platform/namespace_pair.h"

namespace rivulo {
namespace {

using test::NamespacePair;
using test::parsePing;
using Clock = std::chrono::steady_clock;

struct Scenario {
  std::string filter = "true";
  int outDelayMs = 0;
  int inDelayMs = 0;
  bool duplicateOut = false;
  bool dropIn = false;
  bool monitor = false;  // passive monitor: count only
};

// Runs in the child: the driver in namespace `ns` until the parent closes
// `stopFd`. Exit code 0 on a clean run, 2 when open failed.
[[noreturn]] void childLoop(const std::string& ns, const Scenario& sc, int readyFd, int stopFd) {
  int nsFd = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || setns(nsFd, CLONE_NEWNET) != 0) _exit(3);
  NfqueueDriver driver;
  DriverError e = driver.open(sc.filter, sc.monitor ? DriverMode::PassiveMonitor : DriverMode::EffectPipeline, {});
  char status = e ? 'E' : 'R';
  if (::write(readyFd, &status, 1) != 1) _exit(4);
  if (e) _exit(2);
  if (sc.monitor) {
    // Counts what passes until the parent says stop, then reports "in out".
    std::atomic<int> in{0}, out{0};
    std::thread capture([&] {
      std::vector<uint8_t> buf(65535);
      size_t len = 0;
      PacketAddress a;
      while (!driver.receive(buf.data(), buf.size(), len, a)) (a.outbound ? out : in)++;
    });
    char c;
    while (::read(stopFd, &c, 1) > 0) {
    }
    driver.shutdown(ShutdownHow::Both);
    capture.join();
    driver.close();
    std::string counts = std::to_string(in.load()) + " " + std::to_string(out.load());
    if (::write(readyFd, counts.data(), counts.size()) < 0) _exit(4);
    _exit(0);
  }

  struct Held {
    std::vector<uint8_t> data;
    PacketAddress address;
  };
  std::mutex m;
  std::condition_variable cv;
  std::multimap<Clock::time_point, Held> queue;
  bool stopping = false;

  std::thread release([&] {
    std::unique_lock lock(m);
    for (;;) {
      if (queue.empty()) {
        if (stopping) return;
        cv.wait(lock);
        continue;
      }
      auto it = queue.begin();
      if (!stopping && it->first > Clock::now()) {
        cv.wait_until(lock, it->first);
        continue;
      }
      Held h = std::move(it->second);
      queue.erase(it);
      lock.unlock();
      driver.send(h.data.data(), h.data.size(), h.address);
      lock.lock();
    }
  });
  std::thread capture([&] {
    std::vector<uint8_t> buf(65535);
    for (;;) {
      size_t len = 0;
      PacketAddress a;
      if (driver.receive(buf.data(), buf.size(), len, a)) break;
      if (!a.outbound && sc.dropIn) {
        driver.discard(a);
        continue;
      }
      int delay = a.outbound ? sc.outDelayMs : sc.inDelayMs;
      if (delay == 0) {
        driver.send(buf.data(), len, a);
        if (a.outbound && sc.duplicateOut) {
          PacketAddress c = a;
          c.copy = true;
          driver.send(buf.data(), len, c);
        }
        continue;
      }
      driver.hold(a);
      std::lock_guard lock(m);
      queue.emplace(Clock::now() + std::chrono::milliseconds(delay), Held{{buf.begin(), buf.begin() + len}, a});
      cv.notify_one();
    }
  });
  char c;
  while (::read(stopFd, &c, 1) > 0) {
  }
  driver.shutdown(ShutdownHow::Receive);
  capture.join();
  {
    std::lock_guard lock(m);
    stopping = true;
    cv.notify_all();
  }
  release.join();
  driver.close();
  _exit(0);
}

class DriverRun {
 public:
  DriverRun(const std::string& ns, const Scenario& sc) {
    int ready[2], stop[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(stop, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(stop[1]);
      childLoop(ns, sc, ready[1], stop[0]);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    stopFd_ = stop[1];
    char status = 0;
    started_ = ::read(ready[0], &status, 1) == 1 && status == 'R';
    resultFd_ = ready[0];
  }
  ~DriverRun() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stopFd_ >= 0) ::close(stopFd_);
    if (resultFd_ >= 0) ::close(resultFd_);
  }
  // What the child reported before it exited (after stop).
  std::string result() {
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = ::read(resultFd_, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    return text;
  }
  bool started() const { return started_; }
  // Asks for a clean stop; the exit code of the child.
  int stop() {
    ::close(stopFd_);
    stopFd_ = -1;
    int status = 0;
    // Bounded: a stuck child is killed after 10 s.
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ::usleep(100000);
    }
    return -1;
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int stopFd_ = -1;
  int resultFd_ = -1;
  bool started_ = false;
};

class NfqueueDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string reason = test::namespaceSkipReason();
    if (!reason.empty()) GTEST_SKIP() << reason;
    net_ = std::make_unique<NamespacePair>();
    ASSERT_TRUE(net_->ok()) << net_->error();
  }
  bool rulesIn(const std::string& ns) {
    return net_->in(ns, "iptables-save -t mangle; ip6tables-save -t mangle").output.find("RIVULO") !=
           std::string::npos;
  }
  std::unique_ptr<NamespacePair> net_;
};

TEST_F(NfqueueDriverTest, HoldsLeavingAndArrivingPacketsForTheirDelay) {
  Scenario sc;
  sc.outDelayMs = 100;  // A's echo requests to B and A's replies to B's echoes
  DriverRun run(net_->a(), sc);
  ASSERT_TRUE(run.started());
  EXPECT_TRUE(rulesIn(net_->a()));
  auto p = parsePing(net_->in(net_->a(), std::string("ping -c 5 -i 0.2 -W 2 ") + NamespacePair::kAddrB).output);
  EXPECT_EQ(p.received, 5);
  EXPECT_GT(p.minMs, 95.0);
  EXPECT_LT(p.avgMs, 160.0);
  auto p6 = parsePing(net_->in(net_->a(), std::string("ping -6 -c 3 -i 0.2 -W 2 ") + NamespacePair::kAddr6B).output);
  EXPECT_EQ(p6.received, 3);
  EXPECT_GT(p6.minMs, 95.0);
  EXPECT_EQ(run.stop(), 0);
  EXPECT_FALSE(rulesIn(net_->a()));

  Scenario in;
  in.inDelayMs = 100;  // B's echo requests arriving at A wait in A's queue
  DriverRun run2(net_->a(), in);
  ASSERT_TRUE(run2.started());
  auto q = parsePing(net_->in(net_->b(), std::string("ping -c 5 -i 0.2 -W 2 ") + NamespacePair::kAddrA).output);
  EXPECT_EQ(q.received, 5);
  EXPECT_GT(q.minMs, 95.0);
  EXPECT_LT(q.avgMs, 160.0);
  EXPECT_EQ(run2.stop(), 0);
}

TEST_F(NfqueueDriverTest, CopiesAndDiscards) {
  Scenario dup;
  dup.duplicateOut = true;
  DriverRun run(net_->a(), dup);
  ASSERT_TRUE(run.started());
  auto p = parsePing(net_->in(net_->a(), std::string("ping -c 5 -i 0.2 -W 2 ") + NamespacePair::kAddrB).output);
  EXPECT_EQ(p.received, 5);
  // ping may quit before the copy of the last reply arrives.
  EXPECT_GE(p.duplicates, 4);
  EXPECT_EQ(run.stop(), 0);

  Scenario drop;
  drop.dropIn = true;
  DriverRun run2(net_->a(), drop);
  ASSERT_TRUE(run2.started());
  auto q = parsePing(net_->in(net_->b(), std::string("ping -c 3 -i 0.2 -W 1 ") + NamespacePair::kAddrA).output);
  EXPECT_EQ(q.received, 0);
  EXPECT_EQ(run2.stop(), 0);
}

TEST_F(NfqueueDriverTest, TrafficFlowsAfterAKillAndTheNextOpenCleansUp) {
  DriverRun run(net_->a(), {});
  ASSERT_TRUE(run.started());
  run.kill();
  EXPECT_TRUE(rulesIn(net_->a()));  // a SIGKILL leaves them; --queue-bypass keeps traffic going
  auto p = parsePing(net_->in(net_->b(), std::string("ping -c 3 -i 0.2 -W 1 ") + NamespacePair::kAddrA).output);
  EXPECT_EQ(p.received, 3);
  DriverRun next(net_->a(), {});
  ASSERT_TRUE(next.started());
  auto listing = net_->in(net_->a(), "iptables -t mangle -S").output;
  size_t first = listing.find("-A OUTPUT -j RIVULO_OUT");
  ASSERT_NE(first, std::string::npos) << listing;
  EXPECT_EQ(listing.find("-A OUTPUT -j RIVULO_OUT", first + 1), std::string::npos) << "stale jump kept";
  EXPECT_EQ(next.stop(), 0);
  EXPECT_FALSE(rulesIn(net_->a()));
}

TEST_F(NfqueueDriverTest, SimpleFilterChoiceIsExpressedInTheRules) {
  Scenario sc;
  sc.filter = "tcp";
  sc.outDelayMs = 200;
  DriverRun run(net_->a(), sc);
  ASSERT_TRUE(run.started());
  auto listing = net_->in(net_->a(), "iptables -t mangle -S").output;
  EXPECT_NE(listing.find("-p tcp"), std::string::npos) << listing;
  EXPECT_NE(listing.find("-o lo -j RETURN"), std::string::npos) << listing;
  auto p = parsePing(net_->in(net_->a(), std::string("ping -c 3 -i 0.2 -W 2 ") + NamespacePair::kAddrB).output);
  EXPECT_EQ(p.received, 3);
  EXPECT_LT(p.maxMs, 100.0);  // ping is not tcp: untouched
  EXPECT_EQ(run.stop(), 0);
}

TEST_F(NfqueueDriverTest, PassiveMonitorCountsBothDirectionsWithoutRules) {
  Scenario sc;
  sc.monitor = true;
  sc.filter = "icmp";  // no stray neighbour messages in the counts
  DriverRun run(net_->a(), sc);
  ASSERT_TRUE(run.started());
  EXPECT_FALSE(rulesIn(net_->a()));
  auto p = parsePing(net_->in(net_->a(), std::string("ping -c 5 -i 0.1 -W 1 ") + NamespacePair::kAddrB).output);
  EXPECT_EQ(p.received, 5);
  net_->in(net_->a(), "ping -c 3 -i 0.1 -W 1 127.0.0.1");  // loopback: not counted
  EXPECT_EQ(run.stop(), 0);
  int in = -1, out = -1;
  std::sscanf(run.result().c_str(), "%d %d", &in, &out);
  // The five echoes each way; the three loopback echoes must not show.
  EXPECT_EQ(out, 5);
  EXPECT_EQ(in, 5);
}

TEST(NfqueueDriverErrors, RejectedFilterAndNoPrivilege) {
  NfqueueDriver driver;
  DriverError e = driver.open("tcp and (", DriverMode::EffectPipeline, {});
  EXPECT_EQ(e.kind, DriverErrorKind::FilterRejected);
  EXPECT_FALSE(e.detail.empty());
  if (geteuid() == 0) GTEST_SKIP() << "the permission case needs a non-root user";
  e = driver.open("true", DriverMode::EffectPipeline, {});
  EXPECT_EQ(e.kind, DriverErrorKind::AccessDenied) << e.detail;
}

}  // namespace
}  // namespace rivulo
