// The target name list: created empty, filled by the sources, sorted with duplicates removed.
#pragma once

#include "core/context.h"

namespace qv::targets {

inline constexpr std::size_t kMaxComputerNameLength = 255;

void createTargetList(RunContext& ctx);
void addNameTokenTargets(RunContext& ctx);
// Every line of the name file as read; a line longer than 255 characters is reported and skipped.
// Under Linux conventions blank lines and lines starting with # are skipped.
void addNameFileTargets(RunContext& ctx);
// Under Linux conventions every name of this computer (localhost, its loopback and own addresses,
// its host names) becomes the local computer's name, so the list holds it once.
void mergeLocalNames(RunContext& ctx);
// Ascending by name; a name equal (case counts) to the one before it is removed, and so are empty names.
void sortTargetList(RunContext& ctx);
// Appends one name (the record set's add-new).
void addTarget(RunContext& ctx, const std::string& name);

}  // namespace qv::targets
