// Text-file access: the exists test and the three opens, with their console messages.
#pragma once

#include <memory>
#include <string>

#include "core/context.h"
#include "core/reporter.h"
#include "core/target_context.h"

namespace qv::files {

bool fileExists(RunContext& ctx, const std::string& path);
bool fileExists(TargetContext& ctx, const std::string& path);
// Silent; false when the file is missing or cannot be opened.
bool openForReading(RunContext& ctx, const std::string& path, std::unique_ptr<TextReader>& stream);
bool openForReading(FileSystem& fs, const std::string& path, std::unique_ptr<TextReader>& stream);
// Creates or empties; prints "*** File: " + path + " cannot be opened for writing! ***" on failure.
bool openForWriting(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream);
bool openForWriting(FileSystem& fs, Reporter& report, const std::string& path, std::unique_ptr<TextWriter>& stream);
// The file must exist; prints "*** File: " + path + " cannot be opened for Appending! ***" on failure.
bool openForAppending(RunContext& ctx, const std::string& path, std::unique_ptr<TextWriter>& stream);

// Lines gathered and written in blocks: for a file one writer fills alone (a computer's report),
// where a system call per line is the larger part of the cost. A failed block fails the line
// that sent it or the flush. The run log is not wrapped: each of its lines is on disk at once.
std::unique_ptr<TextWriter> inBlocks(std::unique_ptr<TextWriter> file);

}  // namespace qv::files
