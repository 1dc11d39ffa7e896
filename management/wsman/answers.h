// Reading WS-Management answers: faults, enumeration batches typed as the DCOM path types them,
// method outputs and Identify.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "platform/platform.h"

namespace qv::management::wsman {

struct Fault {
    std::string subcode;      // local name of s:Subcode/s:Value ("TimedOut", "DestinationUnreachable")
    std::uint32_t code = 0;   // f:WSManFault's Code (the innermost one that is not WS-Management's own, else the outer)
    std::uint32_t outerCode = 0;
    std::string reason;
};

// The fault an answer holds, if it is one.
std::optional<Fault> faultOf(const pugi::xml_document& doc);

// One batch of an enumeration: its items, the context for the next Pull, whether it was the last.
struct Batch {
    Instances items;
    std::string context;
    bool end = false;
};

// Reads an EnumerateResponse or PullResponse. `className` is the class asked for: its
// property-type table types the values (a subclass's item as well).
bool readBatch(const pugi::xml_document& doc, const std::string& className, Batch& out, std::string& why);

// The WMI date-time text (yyyymmddHHMMSS.mmmmmm+UUU) of an xs:dateTime; empty when malformed.
std::string wmiDatetime(std::string_view xsDateTime);
// The WMI interval text (ddddddddHHMMSS.mmmmmm:000) of an xs:duration; empty when malformed.
std::string wmiInterval(std::string_view xsDuration);

// A method's output parameters by name (letter case kept), each with its texts (an array has
// several; a Null none, with `nil` set).
struct OutputValue {
    std::vector<std::string> texts;
    bool nil = false;
};
using MethodOutput = std::map<std::string, OutputValue>;
bool readMethodOutput(const pugi::xml_document& doc, const std::string& method, MethodOutput& out, std::string& why);

// ProductVendor and ProductVersion of an IdentifyResponse.
struct Identification {
    std::string vendor, version;
    bool windows() const { return vendor == "Microsoft Corporation"; }
};
bool readIdentify(const pugi::xml_document& doc, Identification& out, std::string& why);

}  // namespace qv::management::wsman
