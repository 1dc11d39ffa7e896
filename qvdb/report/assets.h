// The site's own style sheet and script, written beside its pages.
#pragma once

namespace qv::qvdb::report {

extern const char* const kStyleSheet;  // qv.css
extern const char* const kScript;      // qv.js: sorting and filtering of tables

}  // namespace qv::qvdb::report
