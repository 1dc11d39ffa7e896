// Escaping text for XML and HTML.
#include "platform/markup.h"

namespace qv::text {

std::string markupEscaped(std::string_view text, Markup markup) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += markup == Markup::Xml ? "&apos;" : "&#39;"; break;
            case '\0':
                if (markup == Markup::Html) out += "&#xFFFD;";
                else out += c;
                break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace qv::text
