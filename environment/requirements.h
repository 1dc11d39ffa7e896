// The requirement checks of the chosen option; sets bMDB and opens the name file.
#pragma once

#include <memory>

#include "core/context.h"
#include "core/reporter.h"

namespace qv::environment {

struct Requirements {
    bool met = false;
    std::unique_ptr<TextReader> nameFile;  // open when the option reads a name file and it was found
};

// Each failing check says and logs its own lines; the later checks still run.
Requirements checkRequirements(RunEnvironment& env, FileSystem& files, Conventions conventions, Reporter& report);

}  // namespace qv::environment
