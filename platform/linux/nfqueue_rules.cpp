#include "platform/linux/nfqueue_rules.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

extern char** environ;

namespace rivulo {

namespace {

// Looks a program up in PATH and in the sbin folders a root shell usually
// has (PATH under sudo or `ip netns exec` may lack them).
std::string findProgram(const std::string& name) {
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream in(path);
    std::string dir;
    while (std::getline(in, dir, ':'))
      if (!dir.empty()) dirs.push_back(dir);
  }
  for (const char* d : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) dirs.push_back(d);
  for (const auto& dir : dirs) {
    std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

// --- Emergency removal --------------------------------------------------
// A signal handler can reach nothing but globals, so the removal scripts of
// the rules installed right now are kept here, ready to be fed to
// iptables-restore with only async-signal-safe calls (fork, dup2, execve,
// waitpid). The owning InstalledRules object fills and clears them.
struct EmergencySlot {
  int scriptFd = -1;          // memfd with the removal script
  char program[256] = {};     // full path of iptables-restore / ip6tables-restore
};
EmergencySlot gEmergency[2];  // [0] IPv4, [1] IPv6
std::mutex gEmergencyMutex;   // guards filling/clearing from normal code
struct sigaction gPreviousAction[3];
const int kCleanupSignals[3] = {SIGINT, SIGTERM, SIGHUP};
bool gHooksInstalled = false;

void runEmergencyRemoval() {
  for (auto& slot : gEmergency) {
    int fd = slot.scriptFd;
    if (fd < 0) continue;
    slot.scriptFd = -1;
    pid_t pid = fork();
    if (pid == 0) {
      lseek(fd, 0, SEEK_SET);
      dup2(fd, 0);
      int devnull = open("/dev/null", O_WRONLY);
      if (devnull >= 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
      }
      char noflush[] = "--noflush";
      char* argv[] = {slot.program, noflush, nullptr};
      execve(slot.program, argv, environ);
      _exit(127);
    }
    if (pid > 0) {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    close(fd);
  }
}

void emergencySignal(int sig) {
  runEmergencyRemoval();
  // Then let the signal do what it would have done without us.
  for (int i = 0; i < 3; ++i)
    if (kCleanupSignals[i] == sig) sigaction(sig, &gPreviousAction[i], nullptr);
  raise(sig);
}

void installHooksOnce() {
  if (gHooksInstalled) return;
  gHooksInstalled = true;
  std::atexit([] { runEmergencyRemoval(); });
  for (int i = 0; i < 3; ++i) {
    struct sigaction current {};
    sigaction(kCleanupSignals[i], nullptr, &current);
    // A program that handles the signal itself (the headless runner, the
    // window's event loop) stops the engine properly; only a signal that would
    // kill us outright needs the emergency removal.
    if (current.sa_handler != SIG_DFL || (current.sa_flags & SA_SIGINFO)) continue;
    gPreviousAction[i] = current;
    struct sigaction action {};
    action.sa_handler = emergencySignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(kCleanupSignals[i], &action, nullptr);
  }
}

void armEmergency(int family, const std::string& program, const std::string& script) {
  std::lock_guard lock(gEmergencyMutex);
  installHooksOnce();
  auto& slot = gEmergency[family];
  int fd = memfd_create("rivulo-rules", MFD_CLOEXEC);
  if (fd < 0) return;
  if (::write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
    close(fd);
    return;
  }
  std::snprintf(slot.program, sizeof slot.program, "%s", program.c_str());
  slot.scriptFd = fd;
}

void disarmEmergency(int family) {
  std::lock_guard lock(gEmergencyMutex);
  auto& slot = gEmergency[family];
  int fd = slot.scriptFd;
  slot.scriptFd = -1;
  if (fd >= 0) close(fd);
}

const char* restoreProgram(bool ipv6) { return ipv6 ? "ip6tables-restore" : "iptables-restore"; }
const char* saveProgram(bool ipv6) { return ipv6 ? "ip6tables-save" : "iptables-save"; }

CommandResult restore(bool ipv6, const std::string& script) {
  std::string program = findProgram(restoreProgram(ipv6));
  if (program.empty()) {
    CommandResult r;
    r.startErrno = ENOENT;
    return r;
  }
  return runCommand({program, "--noflush"}, script);
}

DriverError restoreError(const CommandResult& r, const char* what) {
  DriverError e;
  if (r.exitCode == -1) {
    e.kind = r.startErrno == ENOENT ? DriverErrorKind::NotFound : DriverErrorKind::Other;
    e.code = static_cast<uint32_t>(r.startErrno);
    e.detail = std::string(what) + " could not be started";
    return e;
  }
  const std::string& out = r.output;
  if (out.find("Permission denied") != std::string::npos || out.find("must be root") != std::string::npos ||
      out.find("Operation not permitted") != std::string::npos) {
    e.kind = DriverErrorKind::AccessDenied;
  } else if (out.find("NFQUEUE") != std::string::npos || out.find("No such file") != std::string::npos ||
             out.find("not supported") != std::string::npos || out.find("Protocol not") != std::string::npos ||
             out.find("can't initialize") != std::string::npos || out.find("Couldn't load") != std::string::npos) {
    e.kind = DriverErrorKind::NotFound;
  } else {
    e.kind = DriverErrorKind::Other;
    e.code = EPROTO;
  }
  e.detail = std::string(what) + ": " + out;
  while (!e.detail.empty() && (e.detail.back() == '\n' || e.detail.back() == ' ')) e.detail.pop_back();
  return e;
}

bool hasOurChains(const std::string& listing) {
  return listing.find(kInboundChain) != std::string::npos || listing.find(kOutboundChain) != std::string::npos;
}

std::string listMangle(bool ipv6) {
  std::string program = findProgram(saveProgram(ipv6));
  if (program.empty()) return {};
  CommandResult r = runCommand({program, "-t", "mangle"}, "");
  return r.exitCode == 0 ? r.output : std::string();
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& input) {
  CommandResult result;
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) {
    result.startErrno = errno;
    return result;
  }
  if (pipe2(out, O_CLOEXEC) != 0) {
    result.startErrno = errno;
    close(in[0]);
    close(in[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    result.startErrno = rc;
    close(in[1]);
    close(out[0]);
    return result;
  }
  // The scripts are a few hundred bytes, well below a pipe's capacity, so
  // writing all of it before reading cannot deadlock.
  size_t written = 0;
  while (written < input.size()) {
    ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(in[1]);
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      status = -1;
      break;
    }
  }
  if (status == -1) {
    result.exitCode = -1;
    result.startErrno = ECHILD;
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
    if (result.exitCode == 127) {
      result.exitCode = -1;
      result.startErrno = ENOENT;
    }
  } else {
    result.exitCode = 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
  return result;
}

std::string installScript(const RulePlan& plan, bool ipv6) {
  (void)ipv6;  // the same rule text serves both families
  std::ostringstream s;
  const std::string target = " -m mark ! --mark " + std::to_string(plan.mark) + "/" + std::to_string(plan.mark) +
                             " -j NFQUEUE --queue-num " + std::to_string(plan.queueNumber) + " --queue-bypass";
  const std::string proto = plan.protocol.empty() ? std::string() : " -p " + plan.protocol;
  s << "*mangle\n";
  s << ":" << kInboundChain << " - [0:0]\n";
  s << ":" << kOutboundChain << " - [0:0]\n";
  if (plan.inbound) {
    if (!plan.includeLoopback) s << "-A " << kInboundChain << " -i lo -j RETURN\n";
    s << "-A " << kInboundChain << proto << target << "\n";
  }
  if (plan.outbound) {
    if (!plan.includeLoopback) s << "-A " << kOutboundChain << " -o lo -j RETURN\n";
    s << "-A " << kOutboundChain << proto << target << "\n";
  }
  s << "-I PREROUTING 1 -j " << kInboundChain << "\n";
  s << "-I OUTPUT 1 -j " << kOutboundChain << "\n";
  s << "COMMIT\n";
  return s.str();
}

std::string removeScript(const RulePlan&) {
  std::ostringstream s;
  s << "*mangle\n";
  s << "-D PREROUTING -j " << kInboundChain << "\n";
  s << "-D OUTPUT -j " << kOutboundChain << "\n";
  s << "-F " << kInboundChain << "\n-X " << kInboundChain << "\n";
  s << "-F " << kOutboundChain << "\n-X " << kOutboundChain << "\n";
  s << "COMMIT\n";
  return s.str();
}

std::string staleRemovalScript(const std::string& listing) {
  std::istringstream in(listing);
  std::string line;
  std::vector<std::string> deletes, chains;
  while (std::getline(in, line)) {
    if (line.rfind("-A ", 0) == 0) {
      std::istringstream words(line);
      std::string dash, chain;
      words >> dash >> chain;
      if (chain == kInboundChain || chain == kOutboundChain) continue;  // flushed below
      if (line.find(std::string("-j ") + kInboundChain) != std::string::npos ||
          line.find(std::string("-j ") + kOutboundChain) != std::string::npos ||
          line.find(std::string("-g ") + kInboundChain) != std::string::npos ||
          line.find(std::string("-g ") + kOutboundChain) != std::string::npos)
        deletes.push_back("-D" + line.substr(2));
    } else if (line.rfind(":", 0) == 0) {
      std::string chain = line.substr(1, line.find(' ') == std::string::npos ? std::string::npos : line.find(' ') - 1);
      if (chain == kInboundChain || chain == kOutboundChain) chains.push_back(chain);
    }
  }
  if (deletes.empty() && chains.empty()) return {};
  std::ostringstream s;
  s << "*mangle\n";
  for (const auto& d : deletes) s << d << "\n";
  for (const auto& c : chains) s << "-F " << c << "\n";
  for (const auto& c : chains) s << "-X " << c << "\n";
  s << "COMMIT\n";
  return s.str();
}

bool removeStaleRules() {
  bool found = false;
  for (bool ipv6 : {false, true}) {
    std::string script = staleRemovalScript(listMangle(ipv6));
    if (script.empty()) continue;
    found = true;
    restore(ipv6, script);
  }
  return found;
}

bool ourRulesPresent() { return hasOurChains(listMangle(false)) || hasOurChains(listMangle(true)); }

InstalledRules::~InstalledRules() { remove(); }

DriverError InstalledRules::install(const RulePlan& plan) {
  remove();
  plan_ = plan;
  removeStaleRules();

  CommandResult r4 = restore(false, installScript(plan, false));
  if (r4.exitCode != 0) return restoreError(r4, "iptables-restore");
  v4_ = true;
  armEmergency(0, findProgram(restoreProgram(false)), removeScript(plan));

  // A system without IPv6 netfilter (or with IPv6 disabled) still conditions
  // IPv4; only a permission problem is an error here.
  CommandResult r6 = restore(true, installScript(plan, true));
  if (r6.exitCode == 0) {
    v6_ = true;
    armEmergency(1, findProgram(restoreProgram(true)), removeScript(plan));
  } else {
    DriverError e = restoreError(r6, "ip6tables-restore");
    if (e.kind == DriverErrorKind::AccessDenied) {
      remove();
      return e;
    }
  }
  return {};
}

void InstalledRules::remove() {
  if (v4_) {
    disarmEmergency(0);
    if (restore(false, removeScript(plan_)).exitCode != 0) removeStaleRules();
    v4_ = false;
  }
  if (v6_) {
    disarmEmergency(1);
    if (restore(true, removeScript(plan_)).exitCode != 0) removeStaleRules();
    v6_ = false;
  }
}

}  // namespace rivulo
