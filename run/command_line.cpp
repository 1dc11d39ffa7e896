// The command-line grammar.
#include "run/command_line.h"
#include "platform/text.h"


namespace qv::run {

void parseCommandLine(CommandLine& cl, const std::string& argumentText, const UpperCase& upper) {
    cl.argumentText = argumentText;
    cl.allTokens.clear();
    cl.optionTokens.clear();
    cl.nameTokens.clear();
    cl.optionsAsTyped.clear();
    if (argumentText.empty()) return;
    std::size_t start = 0;
    for (;;) {
        std::size_t space = argumentText.find(' ', start);
        std::string piece = argumentText.substr(start, space == std::string::npos ? std::string::npos : space - start);
        if (piece == "?") piece = "/?";
        std::string token = upper(text::trimBlanks(piece));
        cl.allTokens.push_back(token);
        if (!piece.empty() && (piece[0] == '-' || piece[0] == '/')) {
            cl.optionTokens.push_back(token);
            cl.optionsAsTyped.push_back(text::trimBlanks(piece));
        } else
            cl.nameTokens.push_back(token);
        if (space == std::string::npos) break;
        start = space + 1;
    }
}

bool validateOptions(CommandLine& cl) {
    if (cl.allTokens.empty()) return true;
    if (cl.optionTokens.size() >= 2 || (cl.optionTokens.size() == 1 && cl.allTokens.size() >= 2)) {
        cl.optionError = "*** Too Many Options ***";
        return false;
    }
    if (cl.optionTokens.size() == 1) {
        const std::string& t = cl.optionTokens[0];
        if (t == "/?" || t == "/B" || t.rfind("/F:", 0) == 0) return true;
        cl.optionError = "*** Unrecognized Option '" + t + "' ***";
        return false;
    }
    return true;
}

std::string selectOption(CommandLine& cl, const std::string& argumentText, const UpperCase& upper) {
    parseCommandLine(cl, argumentText, upper);
    if (!validateOptions(cl)) return {};
    std::string option;
    if (cl.optionTokens.size() == 1) {
        const std::string& t = cl.optionTokens[0];
        if (t == "/B") option = "/B";
        else if (t.rfind("/F:", 0) == 0) option = "/F";
        else if (t == "/?") option = "/?";
    }
    if (!cl.nameTokens.empty()) option = "/N";
    if (cl.allTokens.empty()) option = "/L";
    return option;
}

}  // namespace qv::run
