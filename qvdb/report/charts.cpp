// SVG charts: every length computed from the values, labels wrapped to their room.
#include "qvdb/report/charts.h"

#include <cmath>

#include "qvdb/report/html.h"

namespace qv::qvdb::report {

namespace {

std::string px(double v) { return numberText(v, 1); }

std::string tickText(double v) {
    return std::fabs(v - std::round(v)) < 1e-9 ? grouped(static_cast<long long>(std::llround(v))) : numberText(v, 2);
}

std::string valueText(double v) { return tickText(v); }

}  // namespace

std::vector<double> axisTicks(double max, int wanted) {
    if (!(max > 0)) max = 1;
    const double raw = max / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    if (step < 1) step = 1;  // counts: whole steps
    std::vector<double> ticks;
    for (double t = 0; t < max + step - 1e-9; t += step) ticks.push_back(t);
    if (ticks.back() < max) ticks.push_back(ticks.back() + step);
    return ticks;
}

std::string barChart(const std::string& id, const std::string& title, const std::string& axisTitle,
                     std::vector<Bar> bars, std::size_t maxBars) {
    if (bars.size() > maxBars) {
        Bar other{"Other (" + grouped(static_cast<long long>(bars.size() - (maxBars - 1))) + " more)", 0, "", ""};
        for (std::size_t i = maxBars - 1; i < bars.size(); ++i) other.value += bars[i].value;
        bars.resize(maxBars - 1);
        bars.push_back(other);
    }
    const double labelWidth = 230, plotWidth = 330, top = 34, right = 60, lineHeight = 14;
    const std::size_t labelChars = 32;  // about 7 px per character at the label size
    // Labels wrapped to their room (three lines at most); each row as high as its label.
    std::vector<std::vector<std::string>> labels;
    std::vector<double> rowTop{top};
    for (const Bar& b : bars) {
        labels.push_back(wrapped(b.label, labelChars, 3));
        if (labels.back().empty()) labels.back().push_back("");
        rowTop.push_back(rowTop.back() + 8 + lineHeight * static_cast<double>(labels.back().size()));
    }
    double max = 0;
    for (const Bar& b : bars) max = std::max(max, b.value);
    const auto ticks = axisTicks(max);
    const double scaleMax = ticks.back();
    const double plotBottom = bars.empty() ? top + 22 : rowTop.back();
    const double height = plotBottom + 40;
    const double width = labelWidth + plotWidth + right;
    std::string s = "<figure class=\"chart\" id=\"" + esc(id) + "\"><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    px(width) + "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(width) + " " + px(height) +
                    "\" role=\"img\" aria-label=\"" + esc(title) + "\">";
    s += "<text class=\"title\" x=\"0\" y=\"18\">" + esc(title) + "</text>";
    // Grid lines and tick numbers along the value axis.
    for (double t : ticks) {
        const double x = labelWidth + plotWidth * t / scaleMax;
        s += "<line class=\"grid\" x1=\"" + px(x) + "\" y1=\"" + px(top - 4) + "\" x2=\"" + px(x) + "\" y2=\"" +
             px(plotBottom) + "\"/>";
        s += "<text class=\"tick\" x=\"" + px(x) + "\" y=\"" + px(plotBottom + 14) + "\" text-anchor=\"middle\">" +
             tickText(t) + "</text>";
    }
    s += "<line class=\"axis\" x1=\"" + px(labelWidth) + "\" y1=\"" + px(top - 4) + "\" x2=\"" + px(labelWidth) +
         "\" y2=\"" + px(plotBottom) + "\"/>";
    s += "<text class=\"axis-title\" x=\"" + px(labelWidth + plotWidth / 2) + "\" y=\"" + px(plotBottom + 32) +
         "\" text-anchor=\"middle\">" + esc(axisTitle) + "</text>";
    if (bars.empty())
        s += "<text class=\"tick\" x=\"" + px(labelWidth + 8) + "\" y=\"" + px(top + 14) + "\">no data</text>";
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Bar& b = bars[i];
        const double y = rowTop[i], h = rowTop[i + 1] - rowTop[i];
        const double mid = y + h / 2;
        const double w = plotWidth * b.value / scaleMax;
        const std::string tip = b.hint.empty() ? b.label + ": " + valueText(b.value) : b.hint;
        s += "<g class=\"bar\" data-label=\"" + esc(b.label) + "\" data-value=\"" + valueText(b.value) + "\"><title>" +
             esc(tip) + "</title>";
        if (!b.link.empty()) s += "<a href=\"" + esc(b.link) + "\">";
        const auto& lines = labels[i];
        const double firstLine = mid + 4 - lineHeight * static_cast<double>(lines.size() - 1) / 2;
        s += "<text class=\"label\" x=\"" + px(labelWidth - 6) + "\" y=\"" + px(firstLine) + "\" text-anchor=\"end\">";
        for (std::size_t l = 0; l < lines.size(); ++l)
            s += "<tspan x=\"" + px(labelWidth - 6) + "\" dy=\"" + (l ? px(lineHeight) : std::string("0")) + "\">" +
                 esc(lines[l]) + "</tspan>";
        s += "</text>";
        s += "<rect x=\"" + px(labelWidth) + "\" y=\"" + px(mid - 8) + "\" width=\"" + px(w) + "\" height=\"16\"/>";
        s += "<text class=\"value\" x=\"" + px(labelWidth + w + 4) + "\" y=\"" + px(mid + 4) + "\">" +
             valueText(b.value) + "</text>";
        if (!b.link.empty()) s += "</a>";
        s += "</g>";
    }
    return s + "</svg></figure>\n";
}

std::string histogram(const std::string& id, const std::string& title, const std::string& xTitle,
                      const std::string& yTitle, const std::vector<Bar>& bins) {
    const double left = 60, top = 34, plotHeight = 180, binWidth = 62, bottom = 52;
    const std::size_t labelChars = 9;  // about 6 px per character at the tick size
    double max = 0;
    for (const Bar& b : bins) max = std::max(max, b.value);
    const auto ticks = axisTicks(max);
    const double scaleMax = ticks.back();
    const double plotWidth = binWidth * static_cast<double>(std::max<std::size_t>(bins.size(), 1));
    const double width = left + plotWidth + 20, height = top + plotHeight + bottom;
    const double baseY = top + plotHeight;
    std::string s = "<figure class=\"chart\" id=\"" + esc(id) + "\"><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    px(width) + "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(width) + " " + px(height) +
                    "\" role=\"img\" aria-label=\"" + esc(title) + "\">";
    s += "<text class=\"title\" x=\"0\" y=\"18\">" + esc(title) + "</text>";
    for (double t : ticks) {
        const double y = baseY - plotHeight * t / scaleMax;
        s += "<line class=\"grid\" x1=\"" + px(left) + "\" y1=\"" + px(y) + "\" x2=\"" + px(left + plotWidth) +
             "\" y2=\"" + px(y) + "\"/>";
        s += "<text class=\"tick\" x=\"" + px(left - 6) + "\" y=\"" + px(y + 4) + "\" text-anchor=\"end\">" +
             tickText(t) + "</text>";
    }
    s += "<line class=\"axis\" x1=\"" + px(left) + "\" y1=\"" + px(baseY) + "\" x2=\"" + px(left + plotWidth) +
         "\" y2=\"" + px(baseY) + "\"/>";
    s += "<text class=\"axis-title\" x=\"14\" y=\"" + px(top + plotHeight / 2) + "\" text-anchor=\"middle\" transform=\"rotate(-90 14 " +
         px(top + plotHeight / 2) + ")\">" + esc(yTitle) + "</text>";
    s += "<text class=\"axis-title\" x=\"" + px(left + plotWidth / 2) + "\" y=\"" + px(height - 8) +
         "\" text-anchor=\"middle\">" + esc(xTitle) + "</text>";
    for (std::size_t i = 0; i < bins.size(); ++i) {
        const Bar& b = bins[i];
        const double x = left + binWidth * static_cast<double>(i);
        const double h = plotHeight * b.value / scaleMax;
        const std::string tip = b.hint.empty() ? b.label + ": " + valueText(b.value) : b.hint;
        s += "<g class=\"bar\" data-label=\"" + esc(b.label) + "\" data-value=\"" + valueText(b.value) + "\"><title>" +
             esc(tip) + "</title>";
        s += "<rect x=\"" + px(x + 4) + "\" y=\"" + px(baseY - h) + "\" width=\"" + px(binWidth - 8) + "\" height=\"" +
             px(h) + "\"/>";
        s += "<text class=\"value\" x=\"" + px(x + binWidth / 2) + "\" y=\"" + px(baseY - h - 4) +
             "\" text-anchor=\"middle\">" + valueText(b.value) + "</text>";
        s += "<text class=\"tick\" x=\"" + px(x + binWidth / 2) + "\" y=\"" + px(baseY + 16) +
             "\" text-anchor=\"middle\">" + esc(shortened(b.label, labelChars)) + "</text>";
        s += "</g>";
    }
    return s + "</svg></figure>\n";
}

}  // namespace qv::qvdb::report
