// Reading "Host" blocks of a configuration in the style of ~/.ssh/config.
#include "management/host_config.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace qv::management {

namespace {

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

// Greedy matching that, on a mismatch, goes back only to the last star seen and lets it take one
// more character: a star before the last one never needs to take more, since whatever the later
// star skips it could skip as well. Each step moves the name or the star's start forward, so the
// time is at most the product of the two lengths and never exponential ("*a*a*a*...*b").
bool hostPatternMatches(const std::string& pattern, const std::string& name) {
    std::size_t p = 0, n = 0;
    std::size_t starAt = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The words of a line: blank-separated, a double-quoted word may hold blanks.
std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i == line.size()) break;
        std::string w;
        if (line[i] == '"') {
            std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) end = line.size();
            w = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

}  // namespace

std::vector<std::string> configWords(const std::string& text) {
    std::string line = text;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "Keyword=value" and "Keyword = value" as well as "Keyword value".
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    std::size_t keywordEnd = line.find_first_of(" \t=", start);
    if (keywordEnd != std::string::npos) {
        std::size_t eq = line.find_first_not_of(" \t", keywordEnd);
        if (eq != std::string::npos && line[eq] == '=') line[eq] = ' ';
    }
    return wordsOf(line);
}

namespace {

void readSettings(const std::string& text, const std::string& name, const IncludedTexts& included, int depth,
                  HostSettings& out) {
    bool applies = true;  // before the first Host line
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> words = configWords(line);
        if (words.empty() || words[0][0] == '#') continue;
        const std::string keyword = lower(words[0]);
        if (keyword == "host") {
            bool positive = false, named = false, negated = false;
            for (std::size_t k = 1; k < words.size(); ++k) {
                const std::string& p = words[k];
                if (p[0] == '!') {
                    if (hostPatternMatches(p.substr(1), name)) negated = true;
                } else if (hostPatternMatches(p, name)) {
                    positive = true;
                    if (p.find_first_not_of('*') != std::string::npos) named = true;
                }
            }
            applies = positive && !negated;
            if (applies && named) out.named = true;
            continue;
        }
        if (keyword == "match") {
            applies = false;
            continue;
        }
        if (keyword == "include") {
            if (applies && included && depth < kMaxIncludeDepth)
                for (std::size_t k = 1; k < words.size(); ++k)
                    for (const std::string* file : included(words[k])) readSettings(*file, name, included, depth + 1, out);
            continue;
        }
        if (applies && words.size() > 1 && !out.values.count(keyword)) {
            std::string value = words[1];
            for (std::size_t k = 2; k < words.size(); ++k) value += " " + words[k];
            out.values[keyword] = value;
        }
    }
}

}  // namespace

HostSettings hostSettings(const std::string& text, const std::string& name, const IncludedTexts& included) {
    HostSettings out;
    readSettings(text, name, included, 0, out);
    return out;
}

}  // namespace qv::management
