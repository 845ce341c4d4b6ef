#include "engine/sweep/SweepRunner.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "engine/output/NumberText.h"

namespace corvanta::sweep {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kProgressInterval{100};
// Rows a worker may run ahead of the row the caller takes next, per thread.
constexpr std::uint64_t kRowsAheadPerThread = 32;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The runs in flight and the finished rows not yet taken, shared by the workers and the
// caller's thread.
class RowQueue {
 public:
  struct Outcome {
    std::optional<SweepRow> row;
    std::exception_ptr error;  // when there is no row
  };

  RowQueue(std::uint64_t first, std::uint64_t end, std::uint64_t window)
      : nextToClaim_(first), nextToTake_(first), end_(end), slots_(static_cast<std::size_t>(window)) {}

  // The next run for a worker, or none when all are claimed or the sweep has stopped.
  std::optional<std::uint64_t> claim() {
    std::unique_lock<std::mutex> lock(mutex_);
    workerWakeup_.wait(lock,
                       [&] { return stopped_ || nextToClaim_ >= end_ || nextToClaim_ < nextToTake_ + slots_.size(); });
    if (stopped_ || nextToClaim_ >= end_) {
      return std::nullopt;
    }
    return nextToClaim_++;
  }

  void finish(std::uint64_t run, Outcome outcome, std::uint64_t steps) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!outcome.row) {
      stopped_ = true;  // claim no more; runs before this one still finish
    }
    slots_[slotOf(run)] = std::move(outcome);
    stepsDone_ += steps;
    callerWakeup_.notify_one();
    workerWakeup_.notify_all();
  }

  // Waits up to `timeout` for the next row in order; none when it is not ready yet.
  std::optional<Outcome> take(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<Outcome> &slot = slots_[slotOf(nextToTake_)];
    callerWakeup_.wait_for(lock, timeout, [&] { return slot.has_value(); });
    if (!slot) {
      return std::nullopt;
    }
    std::optional<Outcome> outcome = std::move(slot);
    slot.reset();
    ++nextToTake_;
    workerWakeup_.notify_all();
    return outcome;
  }

  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    workerWakeup_.notify_all();
  }

  std::uint64_t stepsDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stepsDone_;
  }

 private:
  std::size_t slotOf(std::uint64_t run) const { return static_cast<std::size_t>(run % slots_.size()); }

  std::mutex mutex_;
  std::condition_variable workerWakeup_;
  std::condition_variable callerWakeup_;
  std::uint64_t nextToClaim_;
  std::uint64_t nextToTake_;
  std::uint64_t end_;
  std::uint64_t stepsDone_ = 0;
  bool stopped_ = false;
  std::vector<std::optional<Outcome>> slots_;
};

}  // namespace

unsigned threadCountFor(unsigned threads) {
  if (threads > 0) {
    return threads;
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

std::string runLabel(const SweepDefinition &definition, std::uint64_t run, const std::vector<double> &values) {
  std::string label = definition.fileName() + ": run " + std::to_string(run);
  for (std::size_t index = 0; index < values.size(); ++index) {
    label += (index == 0 ? " (" : ", ") + definition.fields()[index].path.text() + " = " +
             engine::shortestText(values[index]);
  }
  return values.empty() ? label : label + ")";
}

SweepProgress runSweep(const SweepDefinition &definition, const RunScenario &runScenario, const SweepOptions &options,
                       const RowSink &sink, const ProgressSink &progress) {
  const std::uint64_t total = definition.runCount();
  const std::uint64_t first = std::min(options.firstRun, total);
  const std::uint64_t end = first + std::min(options.runCount, total - first);
  const auto threads = static_cast<unsigned>(
      std::min<std::uint64_t>(threadCountFor(options.threads), std::max<std::uint64_t>(end - first, 1)));
  RowQueue queue(first, end, kRowsAheadPerThread * threads);

  const auto work = [&] {
    while (const std::optional<std::uint64_t> run = queue.claim()) {
      RowQueue::Outcome outcome;
      std::uint64_t steps = 0;
      try {
        SweepRow row;
        row.run = *run;
        row.values = definition.valuesOfRun(*run);
        const Json scenario = definition.scenarioOfRun(*run, row.values);
        const Clock::time_point start = Clock::now();
        row.metrics = runScenario(scenario, runLabel(definition, *run, row.values));
        row.metrics.wallTime = secondsSince(start);
        steps = row.metrics.steps;
        outcome.row = std::move(row);
      } catch (...) {
        outcome.error = std::current_exception();
      }
      queue.finish(*run, std::move(outcome), steps);
    }
  };

  const Clock::time_point start = Clock::now();
  std::vector<std::thread> workers;
  std::exception_ptr failure;
  try {
    workers.reserve(threads);
    for (unsigned index = 0; index < threads; ++index) {
      try {
        workers.emplace_back(work);
      } catch (const std::system_error &error) {
        throw ThreadStartError("cannot start thread " + std::to_string(index + 1) + " of " + std::to_string(threads) +
                               ": " + error.what() + "; ask for fewer threads");
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }
  SweepProgress status{0, end - first, 0, 0.0};
  Clock::time_point lastReport = start;
  try {
    if (failure) {
      std::rethrow_exception(failure);
    }
    while (status.runsDone < end - first) {
      std::optional<RowQueue::Outcome> outcome = queue.take(kProgressInterval);
      if (outcome) {
        if (!outcome->row) {
          std::rethrow_exception(outcome->error);
        }
        sink(*outcome->row);
        ++status.runsDone;
      }
      if (progress && Clock::now() - lastReport >= kProgressInterval) {
        lastReport = Clock::now();
        status.stepsDone = queue.stepsDone();
        status.wallSeconds = secondsSince(start);
        progress(status);
      }
    }
  } catch (...) {
    failure = std::current_exception();
    queue.stop();
  }
  for (std::thread &worker : workers) {
    worker.join();
  }
  if (failure) {
    std::rethrow_exception(failure);
  }
  status.stepsDone = queue.stepsDone();
  status.wallSeconds = secondsSince(start);
  if (progress) {
    progress(status);
  }
  return status;
}

}  // namespace corvanta::sweep
