#include "platform/linux/headless_run.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cinttypes>
#include <thread>

#include "app/editor.h"
#include "engine/divert_engine.h"
#include "platform/linux/nfqueue_driver.h"

namespace rivulo {

namespace {

std::atomic<bool> gSignalled{false};

void onSignal(int) { gSignalled = true; }

// What identifies one saved version of the file.
struct FileStamp {
  bool exists = false;
  int64_t mtimeNs = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& path) {
  struct stat st {};
  FileStamp s;
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.size = st.st_size;
  s.inode = st.st_ino;
  return s;
}

}  // namespace

bool loadProjectEffects(const std::string& path, ActiveEffects& effects, std::string& error) {
  // A throw-away editor without services: no driver, no monitor, no autoload;
  // it only reads the file and resolves its chains.
  EditorServices services;
  services.openAutoload = false;
  Editor editor(std::move(services));
  const size_t before = editor.eventLog.size();
  if (!editor.loadProject(path)) {
    error = editor.eventLog.size() > before ? editor.eventLog.back().text : "Load failed: " + path;
    return false;
  }
  effects = editor.resolveEffects();
  return true;
}

std::string formatHeadlessStatus(const DivertStats& s, double seconds) {
  char line[512];
  std::snprintf(line, sizeof line,
                "[%6.1fs] CAPTURED IN %" PRIu64 " (%" PRIu64 " bytes)  CAPTURED OUT %" PRIu64 " (%" PRIu64
                " bytes)  DELAYED %" PRIu64 "  DROPPED %" PRIu64 "  REINJECTED %" PRIu64 "  DUPLICATED %" PRIu64
                "  HELD QUEUE %" PRIu64 "%s",
                seconds, s.capturedIn, s.capturedInBytes, s.capturedOut, s.capturedOutBytes, s.delayed, s.dropped,
                s.reinjected, s.duplicated, s.heldQueue, s.queueFull ? "  QUEUE FULL" : "");
  std::string text = line;
  if (s.running && !s.lastError.empty()) text += "  DRIVER ERROR: " + s.lastError;
  return text;
}

int runHeadlessPipeline(const HeadlessOptions& options, PacketDriverFactory drivers, std::FILE* out,
                        const std::atomic<bool>& stop) {
  using Clock = std::chrono::steady_clock;
  ActiveEffects effects;
  std::string error;
  FileStamp stamp = stampOf(options.projectPath);
  if (!loadProjectEffects(options.projectPath, effects, error)) {
    std::fprintf(out, "%s\n", error.c_str());
    std::fflush(out);
    return 1;
  }
  DivertEngine engine(std::move(drivers));
  const std::string filter = options.filter.empty() ? std::string("true") : options.filter;
  if (!engine.startPipeline(filter)) {
    std::fprintf(out, "Could not start active simulation: %s\n", engine.stats().lastError.c_str());
    std::fflush(out);
    return 1;
  }
  engine.applyEffects(effects);
  std::fprintf(out, "Active simulation started on %s with filter: %s\n", options.projectPath.c_str(),
               filter.c_str());
  std::fflush(out);

  const auto started = Clock::now();
  auto nextStatus = started + std::chrono::seconds(1);
  auto nextCheck = started;
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
  while (!stop) {
    if (options.seconds > 0 && elapsed() >= options.seconds) break;
    const auto now = Clock::now();
    if (now >= nextCheck) {
      // Four looks a second: a saved change is in force well within a second.
      nextCheck = now + std::chrono::milliseconds(250);
      FileStamp current = stampOf(options.projectPath);
      if (!(current == stamp) && current.exists) {
        stamp = current;
        ActiveEffects changed;
        if (loadProjectEffects(options.projectPath, changed, error)) {
          engine.applyEffects(changed);
          std::fprintf(out, "Reloaded %s\n", options.projectPath.c_str());
        } else {
          std::fprintf(out, "%s (keeping the effects in force)\n", error.c_str());
        }
        std::fflush(out);
      }
    }
    if (now >= nextStatus) {
      nextStatus += std::chrono::seconds(1);
      std::fprintf(out, "%s\n", formatHeadlessStatus(engine.stats(), elapsed()).c_str());
      std::fflush(out);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  engine.stop();
  DivertStats final = engine.stats();
  std::fprintf(out, "Simulation stopped. Held packets were flushed.\n");
  std::fprintf(out, "final %s\n", formatHeadlessStatus(final, elapsed()).c_str());
  std::fflush(out);
  return 0;
}

int runHeadless(const CommandLine& cl) {
  // Our own handlers first: the driver then leaves these signals to us, and a
  // signal ends the run through a proper stop (flush, rule removal).
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  // Every conditioned packet waits for our threads: on a busy machine a
  // plain-priority capture or release thread waits for a time slice of its
  // own, which shows as milliseconds of extra delay. The engine's threads
  // inherit this (a privileged run only; ignored otherwise).
  setpriority(PRIO_PROCESS, 0, -10);
  // Release times are kept to the microsecond; the default 50 us of timer
  // slack would be added to every delayed packet.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  HeadlessOptions options;
  options.projectPath = cl.headlessProject;
  options.filter = cl.filter;
  options.seconds = cl.seconds;
  return runHeadlessPipeline(options, makeNfqueueDriverFactory(), stdout, gSignalled);
}

}  // namespace rivulo
