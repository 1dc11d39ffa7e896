// The worker pool and the ordered writer. Workers inventory computers into per-computer buffers;
// the calling thread is the only one that writes the console, the run log, the reports and the
// database, computer after computer in list order.
#include "run/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "console/console.h"
#include "database/records.h"
#include "files/run_log.h"
#include "files/run_reporter.h"
#include "inventory/inventory.h"
#include "inventory/report.h"
#include "management/connector.h"
#include "platform/text.h"
#include "core/target_context.h"

namespace qv::run {

namespace {

// How many computers may be taken beyond the head of the list, for each worker: enough to keep
// every worker busy while the head is slow, few enough to bound the output held in memory.
constexpr std::size_t kAheadPerWorker = 2;

using Clock = std::chrono::steady_clock;

// One computer's held output.
struct Slot {
    std::deque<OutputItem> items;
    bool done = false;
    Clock::time_point started = Clock::now(), ended;  // when its worker took it and finished it
};

class Pool {
public:
    Pool(RunContext& ctx, const std::vector<std::string>& targets, int workers)
        : ctx_(ctx), targets_(targets) {
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(workers), targets.size());
        // One worker keeps to one computer at a time, as a run without a pool does.
        window_ = workers <= 1 ? 1 : kAheadPerWorker * static_cast<std::size_t>(workers);
        running_ = n;
        for (std::size_t i = 0; i < n; ++i) threads_.emplace_back([this] { work(); });
    }
    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        workCv_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    // Takes the held output of computer `index` as it comes, until that computer is done; false
    // when no worker will ever take it (the workers stopped for a break). `seconds` gets how long
    // its worker took.
    template <class Write>
    bool drain(std::size_t index, Write&& write, double& seconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        writerCv_.wait(lock, [&] { return index < next_ || running_ == 0; });
        if (index >= next_) return false;
        Slot& slot = *slots_.at(index);
        for (;;) {
            writerCv_.wait(lock, [&] { return !slot.items.empty() || slot.done; });
            std::deque<OutputItem> batch;
            batch.swap(slot.items);
            bool done = slot.done;
            lock.unlock();
            for (OutputItem& item : batch) write(item);
            lock.lock();
            if (done && slot.items.empty()) break;
        }
        seconds = std::chrono::duration<double>(slot.ended - slot.started).count();
        slots_.erase(index);
        head_ = index + 1;
        workCv_.notify_all();
        return true;
    }

private:
    // The output of one computer, put by its worker.
    class SlotOutput : public TargetOutput {
    public:
        SlotOutput(Pool& pool, std::size_t index) : pool_(pool), index_(index) {}
        void put(OutputItem item) override {
            std::lock_guard<std::mutex> lock(pool_.mutex_);
            pool_.slots_.at(index_)->items.push_back(std::move(item));
            if (index_ == pool_.head_) pool_.writerCv_.notify_one();
        }

    private:
        Pool& pool_;
        std::size_t index_;
    };

    void work() {
        ctx_.connector.beginWorker();
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                workCv_.wait(lock, [&] { return stopping_ || next_ >= targets_.size() || next_ < head_ + window_; });
                // After a break no computer beyond the one being written is started; that one
                // the writer has already begun.
                int type = -1;
                if (stopping_ || next_ >= targets_.size() || (next_ > head_ && console::breakRequested(ctx_, type))) break;
                index = next_++;
                slots_[index] = std::make_unique<Slot>();
            }
            writerCv_.notify_one();
            SlotOutput output(*this, index);
            TargetContext target(ctx_, targets_[index], output);
            try {
                inventory::inventoryTarget(target);
            } catch (...) {
                // What the computer gave before the fault is written; the run goes on.
            }
            std::lock_guard<std::mutex> lock(mutex_);
            slots_.at(index)->ended = Clock::now();
            slots_.at(index)->done = true;
            writerCv_.notify_one();
        }
        ctx_.connector.endWorker();
        std::lock_guard<std::mutex> lock(mutex_);
        --running_;
        writerCv_.notify_one();
    }

    RunContext& ctx_;
    const std::vector<std::string>& targets_;
    std::size_t window_ = 1;
    std::mutex mutex_;
    std::condition_variable workCv_, writerCv_;
    std::map<std::size_t, std::unique_ptr<Slot>> slots_;
    std::size_t next_ = 0;  // the next computer a worker takes
    std::size_t head_ = 0;  // the computer being written
    std::size_t running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Writes one computer's output items to the run's console, log, report and database.
class ItemWriter {
public:
    ItemWriter(RunContext& ctx, const std::string& target)
        : ctx_(ctx), reporter_(ctx), target_(text::shownSafely(target)), rows_(ctx.database.get(), reporter_, target) {}

    void write(OutputItem& item) {
        if (skipping_) return;
        switch (item.kind) {
            case OutputItem::Kind::Console:
                if (!item.text.empty()) ctx_.platform.console.write(item.text);
                break;
            case OutputItem::Kind::Log: files::logLine(ctx_, item.text); break;
            case OutputItem::Kind::Trace: ctx_.platform.system.debugTrace(item.text); break;
            case OutputItem::Kind::OpenReport:
                reportName_ = item.text;
                report_ = report::openReport(ctx_, ctx_.platform.files.join(ctx_.env.sPath, item.text));
                if (!report_) {
                    // The report cannot be written (name or folder refused): the computer is skipped.
                    console::writeConsoleLine(ctx_, "*** File: " + text::shownSafely(item.text) + " cannot be opened for Appending! ***",
                                              true);
                    files::logLine(ctx_, target_ + " Report file " + text::shownSafely(item.text) + " cannot be opened; computer skipped");
                    skipping_ = true;
                }
                break;
            case OutputItem::Kind::Report:
                if (report_ && !report_->writeLine(item.text)) reportNotWritten();
                break;
            case OutputItem::Kind::Completed:
                // Only a computer whose report and rows are all where they belong is completed.
                completed_ = true;
                if (report_ && !report_->flush()) reportNotWritten();
                if (!reportFailed_ && rowsKept_) files::logLine(ctx_, item.text);
                break;
            case OutputItem::Kind::CloseReport:
                if (report_ && !report_->flush()) reportNotWritten();
                if (report_) report_->close();
                report_.reset();
                break;
            case OutputItem::Kind::Row:
            case OutputItem::Kind::EmptyRow:
            case OutputItem::Kind::MasterRows: rows_.write(item); break;
            case OutputItem::Kind::Commit: rowsKept_ = rows_.commit(); break;
        }
    }

    // Counts the computer, once all its output is written: inventoried, failed (not connected, its
    // report not opened or incomplete, or given up by a fault), or its rows not written.
    void count(RunTally& tally) const {
        if (!completed_ || skipping_ || reportFailed_) ++tally.failed;
        else if (!rowsKept_ || !rows_.allWritten()) ++tally.rowsNotWritten;
        else ++tally.inventoried;
    }

private:
    // Disk full or an I/O error: said once, and the computer is not called completed.
    void reportNotWritten() {
        if (reportFailed_) return;
        reportFailed_ = true;
        const std::string line = target_ + " Report file " + text::shownSafely(reportName_) +
                                 " could not be written; its report is incomplete";
        console::writeConsoleLine(ctx_, line, true);
        files::logLine(ctx_, line);
    }

    RunContext& ctx_;
    files::RunReporter reporter_;
    std::string target_;
    database::InventoryRows rows_;
    std::unique_ptr<TextWriter> report_;
    std::string reportName_;
    bool reportFailed_ = false;
    bool rowsKept_ = true;
    bool skipping_ = false;
    bool completed_ = false;
};

// The run's status line while computers are written: how many are done, how many failed, and the
// computer that took longest so far. Erased when the list ends, however it ends.
class Progress {
public:
    Progress(RunContext& ctx, std::size_t total) : ctx_(ctx), total_(total) {}
    ~Progress() { ctx_.platform.console.status(""); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void written(const std::string& target, double seconds) {
        ++done_;
        if (seconds >= longestSeconds_) {
            longestSeconds_ = seconds;
            longest_ = target;
        }
        ctx_.platform.console.status(statusLine(done_, total_, ctx_.tally.failed, longest_, longestSeconds_));
    }

private:
    RunContext& ctx_;
    std::size_t total_, done_ = 0;
    std::string longest_;
    double longestSeconds_ = -1;
};

}  // namespace

std::string statusLine(std::size_t done, std::size_t total, int failed, const std::string& longest, double seconds) {
    return std::to_string(done) + " of " + std::to_string(total) + " computers done, " + std::to_string(failed) +
           " failed, longest " + text::shownSafely(longest) + " " + std::to_string(static_cast<long long>(seconds + 0.5)) + " s";
}

int workersFromSetting(const char* setting, std::string& why) {
    why.clear();
    if (!setting) return kDefaultWorkers;
    const std::string text = setting;
    bool digits = !text.empty() && text.size() <= 3 &&
                  std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    int n = digits ? std::atoi(text.c_str()) : 0;
    if (n >= 1 && n <= kMaxWorkers) return n;
    why = "        QV_PARALLEL: \"" + text + "\" ignored, not a whole number from 1 to " + std::to_string(kMaxWorkers) +
          "; " + std::to_string(kDefaultWorkers) + " computers at a time";
    return kDefaultWorkers;
}

bool inventoryInOrder(RunContext& ctx, const std::vector<std::string>& targets, int workers, bool announce,
                      const std::function<void(int)>& onBreak) {
    Pool pool(ctx, targets, workers);
    Progress progress(ctx, targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        int type = -1;
        if (announce && console::breakRequested(ctx, type)) {
            onBreak(type);
            return false;  // the pool's end waits for the computers already started
        }
        if (announce) console::writeConsoleLine(ctx, text::shownSafely(targets[i]), true);
        ctx.platform.console.beginTarget(static_cast<int>(i) + 1);
        ItemWriter writer(ctx, targets[i]);
        double seconds = 0;
        if (!pool.drain(i, [&](OutputItem& item) { writer.write(item); }, seconds)) {
            console::breakRequested(ctx, type);
            onBreak(type);
            return false;
        }
        writer.count(ctx.tally);
        progress.written(targets[i], seconds);
    }
    return true;
}

}  // namespace qv::run
