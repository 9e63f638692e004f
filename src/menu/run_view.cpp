#include "menu/run_view.h"

#include <ostream>
#include <utility>

#include "menu/cli_event.h"
#include "menu/exit_meaning.h"
#include "menu/progress_bar.h"

namespace qav::menu {

namespace {

constexpr const char* barLabel = "Fortschritt: ";

// The bar is ASCII and the label has no multi-byte characters, so its
// length in bytes is its width on screen.
std::string barLine(std::size_t finished, std::size_t total) {
  return barLabel + progressBar(finished, total);
}

}  // namespace

RunView::RunView(std::ostream& out, bool terminal, bool colour, PlanOutline outline)
    : out(out), terminal(terminal), colour(colour), outline(outline), tracker(std::move(outline)) {}

void RunView::eraseBar() {
  if (barWidth == 0) return;
  out << '\r' << std::string(barWidth, ' ') << '\r';
  barWidth = 0;
}

void RunView::write(const std::string& line) {
  eraseBar();
  out << line << '\n';
}

void RunView::showProgress(bool always) {
  const std::size_t finished = tracker.finished();
  const bool changed = finished != shownFinished;
  shownFinished = finished;
  const std::string bar = barLine(finished, tracker.total());
  if (terminal) {
    eraseBar();
    out << bar;
    barWidth = bar.size();
  } else if (changed || always) {
    out << bar << '\n';
  }
  out << std::flush;
}

void RunView::outputLine(const std::string& line) {
  const auto event = transcript.outputLine(line);
  if (!event) {
    write(renderRawLine(line));
  } else {
    tracker.observe(*event);
    write(renderEvent(*event, colour));
  }
  showProgress(false);
}

void RunView::errorLine(const std::string& line) {
  transcript.errorLine(line);
  write(colour ? "\x1b[31m" + line + "\x1b[0m" : line);
  showProgress(false);
}

void RunView::finish(const ChildExit& exit) {
  eraseBar();
  out << barLine(tracker.finished(), tracker.total()) << '\n';
  out << renderEvent({exitLevel(exit), "", exitMeaning(exit)}, colour) << '\n';
  for (const std::string& line : failureAdvice(exit, transcript)) out << line << '\n';
  for (const std::string& line : runSummary(outline, transcript)) out << line << '\n';
  out << std::flush;
}

}  // namespace qav::menu
