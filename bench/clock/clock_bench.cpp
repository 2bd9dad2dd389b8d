// Clock benchmarks, printed as plain figures:
//  1. one cycle's work with a row every second of the day (86,400 rows), on time and with the
//     widest catch-up, beside a scan of every row's text as a per-row loop would do it;
//  2. the timetable snapshot: building and publishing 86,400 rows, a lookup through it;
//  3. a simulated day, side by side: the plain "work, then sleep 1000 ms" loop against the clock
//     loop, counting the seconds each never looks at (a row due then never starts).

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/schedule/clock_loop.h"
#include "app/schedule/timetable_snapshot.h"

namespace belvane {
namespace {

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / frequency;
}

struct Figures {
  double mean_ms = 0;
  double max_ms = 0;
};

template <class F>
Figures Measure(int runs, F&& work) {
  Figures figures;
  double total = 0;
  for (int i = 0; i < runs; ++i) {
    const double start = NowMs();
    work(i);
    const double took = NowMs() - start;
    total += took;
    figures.max_ms = std::max(figures.max_ms, took);
  }
  figures.mean_ms = total / runs;
  return figures;
}

class NullSink final : public ClockSink {
 public:
  void StartRow(int row, const std::string&) override { started += row >= 0; }
  void ShowTime(const std::string&) override {}
  std::int64_t started = 0;
};

class NoSleep final : public Sleeper {
 public:
  void Wait(int) override {}
  void Interrupt() override {}
};

struct SimTime {
  std::int64_t ms = 0;
};

class SimClock final : public ClockSource {
 public:
  explicit SimClock(SimTime& time) : time_(time) {}
  ClockReading Now() override {
    const std::int64_t in_day = time_.ms % (std::int64_t{kSecondsPerDay} * 1000);
    const int s = static_cast<int>(in_day / 1000);
    return ClockReading{s / 3600, s / 60 % 60, s % 60, static_cast<int>(in_day % 1000)};
  }

 private:
  SimTime& time_;
};

std::vector<TextValue> FullDay() {
  std::vector<TextValue> day;
  day.reserve(kSecondsPerDay);
  for (int s = 0; s < kSecondsPerDay; ++s) day.emplace_back(ClockText(s));
  return day;
}

void BenchCycle(const std::vector<TextValue>& day) {
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(day);
  volatile int sink = 0;

  const Figures on_time = Measure(100000, [&](int i) {
    const int now = i % kSecondsPerDay;
    sink = PlanCycle(now - 1, now, index).start_row;
  });
  const Figures catch_up = Measure(20000, [&](int i) {
    const int now = (i * 61) % kSecondsPerDay;
    sink = PlanCycle(now - kMaxCatchUpSeconds, now, index).start_row;
  });

  // The whole cycle as the clock thread runs it (clock read twice, plan, start, show), one
  // simulated second apart so every cycle checks a second and starts its row.
  SimTime time;
  SimClock clock(time);
  NoSleep sleeper;
  NullSink null_sink;
  std::atomic<bool> running{true};
  ClockLoop loop(clock, sleeper, index, null_sink, running);
  const Figures full = Measure(100000, [&](int) {
    time.ms += 1000;
    sink = loop.RunCycle();
  });

  // The per-row way, without even the window messages it would need to read each cell.
  const Figures scan = Measure(200, [&](int i) {
    const std::string now = ClockText(i * 431);
    int found = -1;
    for (int r = 0; r < kSecondsPerDay && found < 0; ++r) {
      if (day[(r + 1) % kSecondsPerDay].View() == now) found = r;
    }
    sink = found;
  });

  std::printf("cycle with 86400 rows (limit 50 ms):\n");
  std::printf("  plan, on time (1 second checked):     mean %.4f ms  max %.4f ms\n",
              on_time.mean_ms, on_time.max_ms);
  std::printf("  plan, catch-up (60 seconds checked):  mean %.4f ms  max %.4f ms\n",
              catch_up.mean_ms, catch_up.max_ms);
  std::printf("  whole cycle, a row started each cycle: mean %.4f ms  max %.4f ms (%lld started)\n",
              full.mean_ms, full.max_ms, static_cast<long long>(null_sink.started));
  std::printf("  for comparison, scanning every row's text in memory: mean %.3f ms\n",
              scan.mean_ms);
}

void BenchSnapshot(const std::vector<TextValue>& day) {
  // The model builds a snapshot after every change (load, add, delete) and publishes it.
  SharedTimetable shared;
  const Figures build = Measure(20, [&](int) {
    shared.Publish(std::make_shared<TimetableSnapshot>(TimetableSnapshot::FromStartTimes(day)));
  });
  volatile int sink = 0;
  const Figures lookup = Measure(
      100000, [&](int i) { sink = sink + shared.FirstRowAt(ClockText(i % kSecondsPerDay)); });
  std::printf("timetable snapshot, 86400 rows:\n");
  std::printf("  build and publish: mean %.3f ms  max %.3f ms\n", build.mean_ms, build.max_ms);
  std::printf("  shared lookup:     mean %.4f ms  max %.4f ms\n", lookup.mean_ms, lookup.max_ms);
}

// How a simulated thread is held up: a wait lasts what it asks plus a delay, and the cycle's own
// work (window messages, starting a file) takes time too.
struct Delays {
  const char* name;
  int work_min_ms, work_max_ms;  // per cycle
  int delay_max_ms;              // added to each wait
  int stall_per_mille;           // chance of a 3 s stall per wait
};

std::int64_t WaitDelay(const Delays& delays, std::mt19937& random) {
  if (static_cast<int>(random() % 1000) < delays.stall_per_mille) return 3000;
  return random() % (delays.delay_max_ms + 1);
}

std::int64_t Work(const Delays& delays, std::mt19937& random) {
  return delays.work_min_ms + random() % (delays.work_max_ms - delays.work_min_ms + 1);
}

// The plain loop: read the time, do the work, sleep 1000 ms. Returns the seconds of the day no
// cycle read.
int PlainLoopSkipped(const Delays& delays) {
  std::mt19937 random(1);
  std::vector<bool> seen(kSecondsPerDay, false);
  std::int64_t t = 0;
  while (t < std::int64_t{kSecondsPerDay} * 1000) {
    seen[t / 1000] = true;
    t += Work(delays, random) + 1000 + WaitDelay(delays, random);
  }
  return static_cast<int>(std::count(seen.begin(), seen.end(), false));
}

class SimSleeper final : public Sleeper {
 public:
  SimSleeper(SimTime& time, const Delays& delays, std::mt19937& random, std::atomic<bool>& running)
      : time_(time), delays_(delays), random_(random), running_(running) {}
  void Wait(int milliseconds) override {
    time_.ms += milliseconds + WaitDelay(delays_, random_);
    if (time_.ms >= std::int64_t{kSecondsPerDay} * 1000) running_.store(false);
  }
  void Interrupt() override {}

 private:
  SimTime& time_;
  const Delays& delays_;
  std::mt19937& random_;
  std::atomic<bool>& running_;
};

class SeenLookup final : public StartTimeLookup {
 public:
  explicit SeenLookup(const StartTimeLookup& inner) : inner_(inner), seen_(kSecondsPerDay, false) {}
  int FirstRowAt(std::string_view text) const override {
    const int row = inner_.FirstRowAt(text);  // a row every second: row == second of the day
    if (row >= 0) seen_[row] = true;
    return row;
  }
  int Unseen() const { return static_cast<int>(std::count(seen_.begin(), seen_.end(), false)); }

 private:
  const StartTimeLookup& inner_;
  mutable std::vector<bool> seen_;
};

class WorkSink final : public ClockSink {
 public:
  WorkSink(SimTime& time, const Delays& delays, std::mt19937& random)
      : time_(time), delays_(delays), random_(random) {}
  void StartRow(int, const std::string&) override {}
  void ShowTime(const std::string&) override { time_.ms += Work(delays_, random_); }

 private:
  SimTime& time_;
  const Delays& delays_;
  std::mt19937& random_;
};

void BenchDay(const std::vector<TextValue>& day) {
  const TimetableSnapshot index = TimetableSnapshot::FromStartTimes(day);
  const Delays cases[] = {
      {"typical: work 1-20 ms, timer late 0-16 ms", 1, 20, 16, 0},
      {"harsh: work 0-150 ms, wake-up late 0-900 ms, 3 s stalls 0.2%", 0, 150, 900, 2},
  };
  std::printf(
      "simulated day, a row every second; seconds no cycle looked at, whose rows are lost:\n");
  for (const Delays& delays : cases) {
    std::mt19937 random(1);
    SimTime time;
    std::atomic<bool> running{true};
    SimClock clock(time);
    SimSleeper sleeper(time, delays, random, running);
    SeenLookup lookup(index);
    WorkSink sink(time, delays, random);
    ClockLoop loop(clock, sleeper, lookup, sink, running);
    loop.Run();
    const ClockStats& stats = loop.Stats();
    std::printf("  %s\n", delays.name);
    std::printf("    plain sleep(1000) loop: %d skipped\n", PlainLoopSkipped(delays));
    std::printf(
        "    clock loop:             %d skipped (%lld cycles, %lld catch-up cycles, %lld due "
        "seconds superseded by a later one in the same cycle)\n",
        lookup.Unseen(), static_cast<long long>(stats.cycles),
        static_cast<long long>(stats.catch_up_cycles),
        static_cast<long long>(stats.due_seconds - stats.rows_started));
  }
}

// The real clock, both loops side by side on two threads for `seconds`: where in its second each
// new second is first looked at, and how many seconds the plain loop never looks at.
class OffsetSink final : public ClockSink {
 public:
  void StartRow(int, const std::string&) override {}
  void ShowTime(const std::string&) override { offsets.push_back(clock.Now().millisecond); }
  SystemClock clock;
  std::vector<int> offsets;
};

void PrintOffsets(const char* name, std::vector<int> offsets, int missed, const char* missed_as) {
  std::sort(offsets.begin(), offsets.end());
  const auto at = [&](double q) {
    return offsets.empty() ? -1 : offsets[static_cast<std::size_t>(q * (offsets.size() - 1))];
  };
  std::printf("  %-22s %zu seconds woken in, %d %s; ms into the second: p50 %d  p99 %d  max %d\n",
              name, offsets.size(), missed, missed_as, at(0.5), at(0.99), at(1.0));
}

void BenchRealClock(int seconds) {
  std::printf("real clock, %d s, both loops at once (no rows; wake-up offset only):\n", seconds);
  const TimetableSnapshot index;
  std::atomic<bool> running{true};
  SystemClock clock;
  EventSleeper sleeper;
  OffsetSink sink;
  ClockLoop loop(clock, sleeper, index, sink, running);

  std::vector<int> plain_offsets;
  int plain_skipped = 0;
  std::thread plain([&] {
    SystemClock plain_clock;
    int last = -1;
    while (running.load()) {
      const ClockReading now = plain_clock.Now();
      const int second = SecondOfDay(now);
      if (second != last) {
        if (last >= 0) plain_skipped += (second - last + kSecondsPerDay) % kSecondsPerDay - 1;
        plain_offsets.push_back(now.millisecond);
        last = second;
      }
      ::Sleep(1000);
    }
  });
  std::thread ours([&] { loop.Run(); });
  ::Sleep(static_cast<DWORD>(seconds) * 1000);
  loop.Stop();
  ours.join();
  plain.join();
  PrintOffsets("plain sleep(1000) loop", plain_offsets, plain_skipped, "skipped");
  PrintOffsets("clock loop", sink.offsets, static_cast<int>(loop.Stats().catch_up_cycles),
               "caught up late");
}

}  // namespace
}  // namespace belvane

// Usage: clock_bench [--real SECONDS]   (the real-clock run is left out unless asked for)
int main(int argc, char** argv) {
  const std::vector<belvane::TextValue> day = belvane::FullDay();
  belvane::BenchCycle(day);
  belvane::BenchSnapshot(day);
  belvane::BenchDay(day);
  if (argc == 3 && std::string(argv[1]) == "--real") belvane::BenchRealClock(std::atoi(argv[2]));
  return 0;
}
