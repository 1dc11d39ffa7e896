// Text-file access through the platform file layer.
#include "files/text_files.h"

#include "console/console.h"
#include "files/run_reporter.h"

namespace qv::files {

bool fileExists(RunContext& ctx, const std::string& path) { return ctx.platform.files.fileExists(path); }
bool fileExists(TargetContext& ctx, const std::string& path) { return ctx.platform.files.fileExists(path); }

bool openForReading(RunContext& ctx, const std::string& path, std::unique_ptr<TextReader>& stream) {
    return openForReading(ctx.platform.files, path, stream);
}

bool openForReading(FileSystem& fs, const std::string& path, std::unique_ptr<TextReader>& stream) {
    if (!fs.fileExists(path)) return false;
    auto opened = fs.openForReading(path);
    if (!opened) return false;
    stream = std::move(opened);
    return true;
}

bool openForWriting(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream) {
    RunReporter report(ctx);
    return openForWriting(ctx.platform.files, report, path, stream);
}

bool openForWriting(FileSystem& fs, Reporter& report, const std::string& path, std::unique_ptr<TextWriter>& stream) {
    auto opened = fs.openForWriting(path, false);
    if (!opened) {
        report.say("*** File: " + path + " cannot be opened for writing! ***");
        return false;
    }
    stream = std::move(opened);
    return true;
}

bool openForAppending(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream) {
    auto opened = ctx.platform.files.openForWriting(path, true);
    if (!opened) {
        console::writeConsoleLine(ctx, "*** File: " + path + " cannot be opened for Appending! ***", true);
        return false;
    }
    stream = std::move(opened);
    return true;
}

namespace {

class BlockWriter : public TextWriter {
public:
    explicit BlockWriter(std::unique_ptr<TextWriter> file) : file_(std::move(file)) {}
    ~BlockWriter() override { close(); }
    bool writeLine(const std::string& text) override {
        if (!block_.empty()) block_ += "\r\n";
        block_ += text;
        ++lines_;
        return block_.size() < kBlock || flush();
    }
    // The block goes out as one line: the file adds the last line end, the others are in it.
    bool flush() override {
        if (lines_ == 0) return true;
        bool ok = file_->writeLine(block_);
        block_.clear();
        lines_ = 0;
        return ok;
    }
    void close() override {
        flush();
        file_->close();
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    std::unique_ptr<TextWriter> file_;
    std::string block_;
    std::size_t lines_ = 0;
};

}  // namespace

std::unique_ptr<TextWriter> inBlocks(std::unique_ptr<TextWriter> file) {
    if (!file) return nullptr;
    return std::make_unique<BlockWriter>(std::move(file));
}

}  // namespace qv::files
