// Escaping text for the markup the program writes: WS-Management's XML and the report's HTML.
#pragma once

#include <string>
#include <string_view>

namespace qv::text {

// The text with the characters markup gives a meaning to written as references: & < > " and the
// apostrophe (&apos; in XML, &#39; in HTML, which older readers know). HTML also has no place for
// NUL, which it shows as the replacement character.
enum class Markup { Xml, Html };
std::string markupEscaped(std::string_view text, Markup markup);

}  // namespace qv::text
