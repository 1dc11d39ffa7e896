// The target name list: created empty, filled by the sources, sorted with duplicates removed.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"
#include "core/reporter.h"

namespace qv::targets {

inline constexpr std::size_t kMaxComputerNameLength = 255;

// ComputerName of each entry, in the order the sources added them until sorted.
using TargetList = std::vector<std::string>;

void addNameTokenTargets(TargetList& list, const CommandLine& commandLine);
// Every line of the name file as read, then the file closed; a line longer than 255 characters is
// reported and skipped. Under Linux conventions blank lines and lines starting with # are skipped.
void addNameFileTargets(TargetList& list, TextReader& nameFile, Conventions conventions, Reporter& report);
// Under Linux conventions every name of this computer (localhost, its loopback and own addresses,
// its host names) becomes the local computer's name, so the list holds it once.
void mergeLocalNames(TargetList& list, Identity& identity, const std::string& localComputer, Conventions conventions);
// Ascending by name; a name equal (case counts) to the one before it is removed, and so are empty names.
void sortTargetList(TargetList& list);

}  // namespace qv::targets
