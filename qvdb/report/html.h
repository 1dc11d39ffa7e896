// Pieces of the report's HTML: escaping, the page frame, numbers as people read them.
#pragma once

#include <string>
#include <vector>

namespace qv::qvdb::report {

// Text for HTML content and attribute values.
std::string esc(const std::string& text);

// The start of a page: title, the site's style sheet and script (relative to `root`, "" or "../"),
// the navigation bar. `end` closes it.
std::string pageStart(const std::string& title, const std::string& root);
std::string pageEnd();

// 1234567 -> "1,234,567".
std::string grouped(long long n);
// A byte count in the unit that suits it: "512 MB", "1.5 GB".
std::string bytesText(double bytes);
// A number without needless decimals: 12, 12.5.
std::string numberText(double v, int decimals = 1);

// A text cut to `max` characters (UTF-8 aware) with an ellipsis; `cut` tells whether it was.
std::string shortened(const std::string& text, std::size_t max, bool* cut = nullptr);

// A text broken into lines of at most `width` characters (UTF-8 aware) at spaces, a word longer
// than a line broken inside it; past `maxLines` the last line is shortened.
std::vector<std::string> wrapped(const std::string& text, std::size_t width, std::size_t maxLines);

}  // namespace qv::qvdb::report
