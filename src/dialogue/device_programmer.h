// One programming call to a QAV over a telephony session: registration, start
// tone, device mode and cabin, PIN, the command plan with retries, hang-up.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialogue/dialogue_clock.h"
#include "dialogue/dialogue_log.h"
#include "plan/command_plan.h"
#include "report/reporter.h"
#include "settings/settings.h"
#include "telephony/telephony_session.h"
#include "tone/signal.h"

namespace qav {

// Borrows everything it uses; the caller hangs up and shuts the session down
// after run, whether it returned or threw.
class DeviceProgrammer {
 public:
  DeviceProgrammer(TelephonySession& session, const Settings& settings, Reporter& reporter);
  DeviceProgrammer(TelephonySession& session, const Settings& settings, Reporter& reporter,
                   DialogueClock& clock);

  // Every exchange, the plan and each confirmed action go to `log` as well;
  // it is borrowed and must outlive the run.
  void keepLog(DialogueLog& log) { dialogueLog = &log; }

  // The whole dialogue; throws on every failure, catches nothing.
  void run();

  // The answer to one plan segment, judged against the expected tone.
  Signal awaitResponse(Signal expected, std::int64_t timeoutMs);

  // One digit string, repeated on its own until an accepted answer comes.
  void runExchange(const std::string& event, const std::string& digits,
                   const std::vector<Signal>& accepted, const std::string& pendingMessage,
                   const std::string& successMessage);

  // One plan action; a failure in any segment repeats it from the first.
  void runAction(const PlanAction& action);
  // The same, with the action as it is to be sent taken from `current` at
  // the start of each attempt, so that a repeated clock sends the time of
  // the repetition.
  using ActionSource = std::function<PlanAction()>;
  void runAction(const PlanAction& action, const ActionSource& current);

  // Sends the closing "0" and waits for the QAV to hang up by itself.
  void orderlyHangup();

 private:
  using Attempt = std::function<void(std::uint64_t attempt, std::uint64_t attempts)>;

  std::optional<Signal> hearAnswer(Signal expected, std::int64_t timeoutMs);
  void judgeAnswer(Signal expected, std::optional<Signal> answer);
  void logged(Exchange& exchange, const std::function<void()>& step);
  Signal awaitStartSignal();
  void enterDeviceMode(Signal startSignal);
  void selectCabin();
  Signal completeDoubleTone(std::int64_t timeoutMs);
  void settle();
  std::optional<std::string> attemptWithRetries(const std::string& event,
                                                const std::string& retryNote,
                                                const Attempt& attempt);
  bool sendClosingDigit();

  TelephonySession& session;
  const Settings& settings;
  Reporter& reporter;
  DialogueClock& clock;
  DialogueLog* dialogueLog = nullptr;
};

}  // namespace qav
