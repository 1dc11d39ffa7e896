// Charts drawn as inline SVG: horizontal bar charts and histograms, with titles, axes and numbers.
#pragma once

#include <string>
#include <vector>

namespace qv::qvdb::report {

struct Bar {
    std::string label;  // the whole label (wrapped in the drawing, whole in its tooltip)
    double value = 0;
    std::string link;   // a page the bar leads to, or ""
    std::string hint;   // the tooltip, when other than "label: value"
};

// One bar per category, longest first as given, at most `maxBars` (the rest summed into "Other").
// Bars are drawn to scale against an axis with ticks; each bar carries its number.
std::string barChart(const std::string& id, const std::string& title, const std::string& axisTitle,
                     std::vector<Bar> bars, std::size_t maxBars = 15);

// Vertical bars over consecutive bins (labels short), drawn to scale against a y axis with ticks.
std::string histogram(const std::string& id, const std::string& title, const std::string& xTitle,
                      const std::string& yTitle, const std::vector<Bar>& bins);

// Ticks for an axis from 0 to at least `max`: round steps (1, 2 or 5 times a power of ten).
std::vector<double> axisTicks(double max, int wanted = 5);

}  // namespace qv::qvdb::report
