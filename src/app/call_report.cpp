#include "app/call_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "app/signal_watch.h"
#include "app/version.h"
#include "plan/plan_builder.h"
#include "report/file_reason.h"
#include "settings/setting_values.h"

namespace qav {

namespace {

using Json = nlohmann::ordered_json;

std::runtime_error cannotWrite(const std::string& path, const std::string& reason) {
  return std::runtime_error("Berichtsdatei kann nicht geschrieben werden: " + path + ": " + reason);
}

// The target is only ever replaced by a rename: it must be a regular file
// that its owner let us write, so that neither a device node nor a file
// someone locked is swapped for the report.
void checkTarget(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) throw cannotWrite(path, fileErrorReason(EISDIR));
  if (!S_ISREG(status.st_mode)) throw cannotWrite(path, "keine reguläre Datei");
  if (::access(path.c_str(), W_OK) != 0) throw cannotWrite(path, fileErrorReason(errno));
}

// Local time with its offset and milliseconds, as a technician reads the
// clock on the wall: 2026-12-07T09:41:15.250+01:00.
std::string isoTime(std::chrono::system_clock::time_point timePoint) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(timePoint);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                          timePoint.time_since_epoch()).count() % 1000;
  const long offset = local.tm_gmtoff / 60;
  const long offsetAbs = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, static_cast<int>(millis < 0 ? 0 : millis),
                offset < 0 ? '-' : '+', offsetAbs / 60, offsetAbs % 60);
  return text;
}

// What decides how the call went, by the keys of the settings; no password,
// no PIN.
Json settingsDocument(const Settings& s) {
  return Json{
      {"config", s.configPath},
      {"sip-server", s.sip.server},
      {"sip-port", s.sip.port},
      {"sip-transport", formatSetting(s, "sip-transport")},
      {"sip-user", s.sip.user},
      {"sip-auth-user", s.sip.authUser},
      {"sip-realm", s.sip.realm},
      {"sip-proxy", s.sip.proxy},
      {"sip-stun-server", s.sip.stunServer},
      {"sip-ice", s.sip.ice},
      {"sip-dial-prefix", s.sip.dialPrefix},
      {"dtmf-method", formatSetting(s, "dtmf-method")},
      {"dtmf-tone-ms", s.sip.dtmfToneMs},
      {"dtmf-gap-ms", s.sip.dtmfGapMs},
      {"target", s.device.target},
      {"cabin", s.device.cabin},
      {"actions", s.device.actions},
      {"retries", s.device.retries},
      {"settle-ms", s.device.settleMs},
      {"record-audio", s.recordAudioPath},
  };
}

Json signalNames(const std::vector<Signal>& signals) {
  Json names = Json::array();
  for (const Signal signal : signals) names.push_back(signalName(signal));
  return names;
}

bool wasProgrammed(const std::vector<PlanAction>& done, const std::string& name) {
  for (const PlanAction& action : done)
    if (action.name == name) return true;
  return false;
}

// 0, or the errno of the failure.
int writeAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count < 0 ? errno : ENOSPC;
    written += static_cast<std::size_t>(count);
  }
  return 0;
}

}  // namespace

CallReport::CallReport(const Settings& settings)
    : settings(settings),
      temporaryPath(settings.reportPath + "." + std::to_string(::getpid()) + ".tmp"),
      started(std::chrono::system_clock::now()) {
  const std::string& path = settings.reportPath;
  checkTarget(path);
  // Made now, beside the target, so that a folder that is missing or closed
  // to us shows before the call; the rename at the end stays within it.
  fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) throw cannotWrite(path, fileErrorReason(errno));
}

CallReport::~CallReport() {
  if (fd < 0) return;
  ::close(fd);
  ::unlink(temporaryPath.c_str());
}

void CallReport::exchanged(const Exchange& exchange) { exchanges.push_back(exchange); }

void CallReport::planned(const CommandPlan& built) {
  plan = built;
  hasPlan = true;
}

void CallReport::programmed(const PlanAction& action) { done.push_back(action); }

// The PIN of the log-in and the new PIN of the security-pin action.
std::string CallReport::secretFree(const std::string& event, const std::string& digits) const {
  const bool secret =
      event == "auth" || (event == "security-pin" && digits == settings.device.newPin);
  return secret ? std::string(digits.size(), '*') : digits;
}

std::string CallReport::document(const std::string& error, int signal) const {
  const auto actionDocument = [this](const PlanAction& action) {
    Json values = Json::array();
    for (const PlanSegment& segment : action.segments)
      values.push_back({{"label", segment.label}, {"digits", secretFree(action.name, segment.digits)}});
    return Json{{"action", action.name}, {"title", action.title}, {"values", values}};
  };
  Json result{{"status", error.empty() ? 0 : 3},
              {"outcome", signal != 0 ? "interrupted" : error.empty() ? "completed" : "failed"}};
  if (!error.empty()) result["error"] = error;
  if (signal != 0) result["signal"] = signalLabel(signal);

  Json sent = Json::array();
  for (const Exchange& e : exchanges) {
    Json entry{{"event", e.event},
               {"label", e.label},
               {"digits", secretFree(e.event, e.digits)},
               {"expected", signalNames(e.expected)},
               {"heard", e.heard ? Json(signalName(*e.heard)) : Json()},
               {"attempt", e.attempt},
               {"time", isoTime(e.sentAt)}};
    if (!e.failure.empty()) entry["error"] = e.failure;
    sent.push_back(entry);
  }

  Json programmedActions = Json::array();
  for (const PlanAction& action : done) programmedActions.push_back(actionDocument(action));
  // Before the PIN no plan exists yet; what would have been sent is the
  // plan for the moment the run ended.
  CommandPlan intended = plan;
  if (!hasPlan) {
    try {
      intended = buildCommandPlan(settings.device, std::chrono::system_clock::now());
    } catch (const std::exception&) {
      intended.clear();
    }
  }
  Json notProgrammed = Json::array();
  for (const PlanAction& action : intended)
    if (!wasProgrammed(done, action.name)) notProgrammed.push_back(actionDocument(action));

  const Json report{{"program", versionLine},
                    {"started", isoTime(started)},
                    {"ended", isoTime(std::chrono::system_clock::now())},
                    {"result", result},
                    {"settings", settingsDocument(settings)},
                    {"exchanges", sent},
                    {"programmed", programmedActions},
                    {"not-programmed", notProgrammed}};
  // Bytes that are no UTF-8 (a value from a file) must not cost the report.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string CallReport::finish(const std::string& error, int signal) {
  if (fd < 0) return "";
  const std::string& path = settings.reportPath;
  std::string reason;
  try {
    const int written = writeAll(fd, document(error, signal));
    if (written != 0) reason = fileErrorReason(written);
    else if (::fsync(fd) != 0) reason = fileErrorReason(errno);
  } catch (const std::exception& failure) {
    reason = failure.what();
  }
  if (::close(fd) != 0 && reason.empty()) reason = fileErrorReason(errno);
  fd = -1;
  if (reason.empty() && std::rename(temporaryPath.c_str(), path.c_str()) != 0)
    reason = fileErrorReason(errno);
  if (!reason.empty()) ::unlink(temporaryPath.c_str());
  return reason;
}

}  // namespace qav
