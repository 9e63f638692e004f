#include "fleet/fleet_run.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "fleet/fleet_display.h"
#include "fleet/fleet_journal.h"
#include "fleet/lift_call.h"
#include "fleet/stop_signals.h"
#include "menu/cli_locator.h"

namespace qav::fleet {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTick{100};

enum class Phase { Waiting, Running, Finished };

// The run's view of one lift. Plain value.
struct LiftState {
  Phase phase = Phase::Waiting;
  int attempts = 0;  // ended attempts, interrupted ones included
  int counted = 0;   // attempts that count against the retry rounds
  std::optional<LiftOutcome> last;
  std::string explanation;
  WallTime notBefore{};
};

struct FinishedCall {
  std::size_t lift = 0;
  AttemptRecord attempt;
};

// Hands finished attempts from the threads that read the children to the
// thread that runs the fleet. Any thread.
class Mailbox {
 public:
  void post(FinishedCall call) {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    arrived_.notify_one();
  }
  // What arrived, waiting up to `limit` for the first.
  std::vector<FinishedCall> take(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, limit, [this] { return !calls_.empty(); });
    return std::exchange(calls_, {});
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<FinishedCall> calls_;
};

// On the reader's thread: an error there must not end the process, and the
// run must hear of the call in any case. The child is then killed and reaped
// with its LiftCall.
AttemptRecord readToEnd(LiftCall& call) {
  try {
    return call.finish([](const menu::CliEvent&) {});
  } catch (const std::exception& error) {
    AttemptRecord attempt;
    attempt.started = attempt.ended = std::chrono::system_clock::now();
    attempt.errorLine = error.what();
    attempt.outcome = LiftOutcome::RetryLater;
    attempt.explanation = "Ausgabe von qav-cli nicht lesbar";
    return attempt;
  }
}

// A call under way: its child, read to the end by a thread of its own.
struct RunningCall {
  std::size_t lift = 0;
  int number = 0;
  std::unique_ptr<LiftCall> call;
  std::thread reader;
};

// Runs on the thread that created it; only the readers of the children run
// elsewhere, and they touch nothing but their own LiftCall and the mailbox.
class FleetScheduler {
 public:
  FleetScheduler(const FleetRunRequest& request, const std::string& cliPath, FleetJournal& journal,
                 FleetDisplay& display, std::int64_t run, std::vector<LiftState> lifts)
      : request_(request),
        options_(request.options),
        cliPath_(cliPath),
        journal_(journal),
        display_(display),
        run_(run),
        lifts_(std::move(lifts)) {}
  ~FleetScheduler() { abandonCalls(); }
  FleetScheduler(const FleetScheduler&) = delete;
  FleetScheduler& operator=(const FleetScheduler&) = delete;

  int run();

 private:
  void watchSignals();
  void startDueCalls();
  void start(std::size_t lift);
  void collect(std::vector<FinishedCall> finished);
  void settle(std::size_t lift, const AttemptRecord& attempt);
  void showStatus(bool changed);
  void abandonCalls();
  FleetCounts counts() const;
  std::optional<WallTime> estimatedEnd() const;
  std::optional<std::size_t> nextDue(WallTime now) const;
  bool anyWaiting() const;
  std::vector<LiftSummary> summaries() const;

  const FleetRunRequest& request_;
  const FleetOptions& options_;
  const std::string& cliPath_;
  FleetJournal& journal_;
  FleetDisplay& display_;
  std::int64_t run_;
  std::vector<LiftState> lifts_;
  std::vector<RunningCall> running_;
  Mailbox mailbox_;
  StopSignals signals_;
  int stage_ = 0;  // stop signals acted on
  std::optional<SteadyClock::time_point> lastStart_;
  SteadyClock::time_point lastStatus_{};
  std::chrono::milliseconds callTime_{0};  // summed over the attempts that ended
  int callsTimed_ = 0;
};

int FleetScheduler::run() {
  display_.runStarted(run_, lifts_.size(), options_.resume);
  showStatus(true);
  for (;;) {
    watchSignals();
    if (stage_ == 0) startDueCalls();
    if (running_.empty() && (stage_ > 0 || !anyWaiting())) break;
    std::vector<FinishedCall> finished = mailbox_.take(kTick);
    const bool changed = !finished.empty();
    collect(std::move(finished));
    showStatus(changed);
  }
  const FleetCounts total = counts();
  const bool complete = total.waiting == 0;
  journal_.endRun(run_, std::chrono::system_clock::now(), complete);
  const int status = !complete ? kOtherError : total.failed > 0 ? kSomeFailed : kAllDone;
  display_.runEnded(run_, summaries(), total, status);
  return status;
}

// The first signal lets the running calls finish; the second asks their
// children to hang up and unregister, after which they are recorded as
// interrupted; a third kills a child that is still there.
void FleetScheduler::watchSignals() {
  const int received = std::min(signals_.count(), 3);
  while (stage_ < received) {
    ++stage_;
    display_.stopRequested(stage_);
    for (RunningCall& running : running_) {
      if (stage_ == 2) running.call->stop();
      if (stage_ == 3) running.call->kill();
    }
  }
}

void FleetScheduler::startDueCalls() {
  const std::size_t parallel = std::max<std::size_t>(options_.parallel, 1);
  while (running_.size() < parallel) {
    if (lastStart_ && SteadyClock::now() - *lastStart_ < options_.callInterval) return;
    const std::optional<std::size_t> due = nextDue(std::chrono::system_clock::now());
    if (!due) return;
    start(*due);
  }
}

// The attempt is in the journal before the child exists, so that a run
// killed at any moment leaves no call unrecorded.
void FleetScheduler::start(std::size_t lift) {
  LiftState& state = lifts_[lift];
  const FleetLift& fleetLift = request_.lifts[lift];
  const int number = state.attempts + 1;
  lastStart_ = SteadyClock::now();
  journal_.attemptStarted(run_, lift, number, std::chrono::system_clock::now());
  display_.liftStarted(fleetLift, number);
  RunningCall running{lift, number, nullptr, {}};
  try {
    running.call = std::make_unique<LiftCall>(cliPath_, fleetLift.settings);
  } catch (const std::exception& error) {
    AttemptRecord attempt;
    attempt.number = number;
    attempt.started = attempt.ended = std::chrono::system_clock::now();
    attempt.errorLine = error.what();
    attempt.outcome = LiftOutcome::GiveUp;
    attempt.explanation = error.what();
    settle(lift, attempt);
    return;
  }
  state.phase = Phase::Running;
  LiftCall* call = running.call.get();
  running.reader = std::thread([this, call, lift] { mailbox_.post({lift, readToEnd(*call)}); });
  running_.push_back(std::move(running));
  showStatus(true);
}

void FleetScheduler::collect(std::vector<FinishedCall> finished) {
  for (FinishedCall& done : finished) {
    const auto at = std::find_if(running_.begin(), running_.end(),
                                 [&](const RunningCall& r) { return r.lift == done.lift; });
    if (at == running_.end()) continue;
    at->reader.join();
    done.attempt.number = at->number;
    running_.erase(at);
    callTime_ += std::chrono::duration_cast<std::chrono::milliseconds>(done.attempt.ended -
                                                                        done.attempt.started);
    ++callsTimed_;
    settle(done.lift, done.attempt);
  }
}

// Done and give-up are final; a lift that may try again waits retry-after
// seconds, at most 1 + retry-rounds counted attempts. An interrupted attempt
// does not count; one the run did not ask for waits like a retry, so that a
// child that keeps dying cannot spin.
void FleetScheduler::settle(std::size_t lift, const AttemptRecord& attempt) {
  journal_.attemptEnded(run_, lift, attempt);
  LiftState& state = lifts_[lift];
  ++state.attempts;
  state.last = attempt.outcome;
  state.explanation = attempt.explanation;
  state.phase = Phase::Waiting;
  std::optional<WallTime> nextTry;
  switch (attempt.outcome) {
    case LiftOutcome::Done:
    case LiftOutcome::GiveUp:
      ++state.counted;
      state.phase = Phase::Finished;
      break;
    case LiftOutcome::RetryLater:
      ++state.counted;
      if (state.counted > static_cast<int>(options_.retryRounds)) state.phase = Phase::Finished;
      else nextTry = attempt.ended + options_.retryAfter;
      break;
    case LiftOutcome::Interrupted:
      if (stage_ == 0) nextTry = attempt.ended + options_.retryAfter;
      break;
  }
  if (nextTry) state.notBefore = *nextTry;
  display_.liftEnded(request_.lifts[lift], attempt, state.phase == Phase::Finished,
                     stage_ > 0 ? std::nullopt : nextTry);
}

void FleetScheduler::showStatus(bool changed) {
  const auto now = SteadyClock::now();
  if (!changed && now - lastStatus_ < std::chrono::seconds(1)) return;
  lastStatus_ = now;
  display_.status(counts(), estimatedEnd());
}

// Only on an error of the run itself: the children are asked to end, and
// their attempts stay open in the journal, to be closed as interrupted on
// resume.
void FleetScheduler::abandonCalls() {
  for (RunningCall& running : running_) running.call->stop();
  for (RunningCall& running : running_)
    if (running.reader.joinable()) running.reader.join();
  running_.clear();
}

FleetCounts FleetScheduler::counts() const {
  FleetCounts counts;
  for (const LiftState& state : lifts_) {
    if (state.phase == Phase::Running) ++counts.running;
    else if (state.phase == Phase::Waiting) ++counts.waiting;
    else if (state.last == LiftOutcome::Done) ++counts.done;
    else ++counts.failed;
  }
  return counts;
}

// The calls still to make at the pace seen so far, spread over the
// parallel calls but no faster than the call interval allows, and not
// before the last retry falls due.
std::optional<WallTime> FleetScheduler::estimatedEnd() const {
  if (callsTimed_ == 0) return std::nullopt;
  const FleetCounts now = counts();
  const auto average = callTime_ / callsTimed_;
  const auto perCall = std::max<std::chrono::milliseconds>(
      average / std::max<int>(static_cast<int>(options_.parallel), 1), options_.callInterval);
  WallTime end = std::chrono::system_clock::now() +
                 perCall * static_cast<long>(now.waiting + now.running);
  for (const LiftState& state : lifts_)
    if (state.phase == Phase::Waiting) end = std::max(end, state.notBefore + average);
  return end;
}

std::optional<std::size_t> FleetScheduler::nextDue(WallTime now) const {
  for (std::size_t i = 0; i < lifts_.size(); ++i)
    if (lifts_[i].phase == Phase::Waiting && lifts_[i].notBefore <= now) return i;
  return std::nullopt;
}

bool FleetScheduler::anyWaiting() const {
  return std::any_of(lifts_.begin(), lifts_.end(),
                     [](const LiftState& state) { return state.phase == Phase::Waiting; });
}

std::vector<LiftSummary> FleetScheduler::summaries() const {
  std::vector<LiftSummary> list;
  for (std::size_t i = 0; i < lifts_.size(); ++i) {
    const LiftState& state = lifts_[i];
    list.push_back({&request_.lifts[i], state.last, state.explanation, state.attempts,
                    state.phase == Phase::Finished});
  }
  return list;
}

// A resumed lift that is done, given up or out of rounds stays as it was;
// the others are due at once.
std::vector<LiftState> resumedStates(const ResumedRun& resumed, std::uint32_t retryRounds) {
  std::vector<LiftState> states;
  for (const LiftStanding& standing : resumed.lifts) {
    LiftState state;
    state.attempts = standing.attempts;
    state.counted = standing.counted;
    state.last = standing.last;
    if (standing.last == LiftOutcome::Done || standing.last == LiftOutcome::GiveUp ||
        standing.counted > static_cast<int>(retryRounds))
      state.phase = Phase::Finished;
    states.push_back(state);
  }
  return states;
}

}  // namespace

int runFleet(const FleetRunRequest& request, const std::string& cliPath, std::ostream& out,
             std::ostream& err) {
  const FleetOptions& options = request.options;
  try {
    FleetJournal journal(options.dbPath);
    std::int64_t run = 0;
    std::vector<LiftState> states(request.lifts.size());
    if (options.resume) {
      const std::optional<ResumedRun> resumed = journal.resumeRun(request.listPath, request.lifts);
      if (!resumed) {
        err << "Fehler: Im Journal " << options.dbPath
            << " gibt es keinen unvollendeten Lauf dieser Liste; ohne --resume beginnt ein neuer Lauf.\n";
        return 2;
      }
      run = resumed->id;
      states = resumedStates(*resumed, options.retryRounds);
    } else {
      run = journal.beginRun(request.listPath, request.lifts, request.commandLine);
    }
    const bool terminal = &out == &std::cout && ::isatty(STDOUT_FILENO);
    FleetDisplay display(out, options.json, terminal);
    FleetScheduler scheduler(request, cliPath, journal, display, run, std::move(states));
    return scheduler.run();
  } catch (const std::exception& error) {
    out.flush();
    err << "Fehler: " << error.what() << '\n';
    return kOtherError;
  }
}

int runFleet(const FleetRunRequest& request) {
  const std::optional<std::string> cli = menu::findQavCli(nullptr);
  if (!cli) {
    std::cerr << "Fehler: qav-cli wurde weder neben qav-fleet noch im Suchpfad (PATH) gefunden.\n";
    return kOtherError;
  }
  return runFleet(request, *cli, std::cout, std::cerr);
}

}  // namespace qav::fleet
