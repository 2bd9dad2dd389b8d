#include "app/bell/clock_thread.h"

#include "app/schedule/passed_over.h"
#include "ui/ui_task.h"

namespace belvane {

void PostingClockSink::StartRow(int row, const std::string& start_time) {
  Bell bell;
  bell.row = row;
  bell.start_time = start_time;
  bell.second = RingingSecond(start_time);
  PostUiTask(window_.load(), [due_bell = handlers_.due_bell, bell = std::move(bell)]() mutable {
    if (due_bell) due_bell(std::move(bell));
  });
}

void PostingClockSink::ShowTime(const std::string& clock_text) {
  PostUiTask(window_.load(), [show_time = handlers_.show_time, clock_text] {
    if (show_time) show_time(clock_text);
  });
}

void PostingClockSink::LookAhead(int current_second) {
  if (handlers_.look_ahead) handlers_.look_ahead(current_second);
}

void PostingClockSink::PassedOver(const PassedOverSpan& span) {
  if (handlers_.passed_over) handlers_.passed_over(span);
}

void PostingClockSink::DayBegins(int day) {
  if (handlers_.day_begins) handlers_.day_begins(day);
}

ClockThread::ClockThread(ClockSource& clock, const StartTimeLookup& lookup)
    : loop_(clock, sleeper_, lookup, sink_, running_) {}

ClockThread::~ClockThread() {
  Stop();
}

bool ClockThread::Start(HWND window, ClockHandlers handlers) {
  std::lock_guard lock(mutex_);
  // The loop's wait stays cut short once stopped, so a stopped clock is not started again.
  if (started_) return false;
  started_ = true;
  sink_.SetTarget(window, std::move(handlers));
  running_.store(true);
  if (!thread_.Start([this] { loop_.Run(); })) {
    running_.store(false);
    return false;
  }
  return true;
}

bool ClockThread::Stop(int timeout_ms) {
  loop_.Stop();
  return thread_.Stop(timeout_ms);
}

bool ClockThread::Running() {
  return thread_.Running();
}

}  // namespace belvane
