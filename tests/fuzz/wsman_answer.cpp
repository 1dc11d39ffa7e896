// Fuzz harness: a WS-Management answer (envelope, enumeration batch, fault, method output, Identify).
#include <cstddef>
#include <cstdint>
#include <string>

#include "management/wsman/answers.h"
#include "management/wsman/faults.h"
#include "management/wsman/xml.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::management::wsman;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    pugi::xml_document doc;
    std::string why;
    if (!parseAnswer(text, doc, why)) {
        qvfuzz::require(!why.empty());
        return 0;
    }
    if (std::optional<Fault> fault = faultOf(doc)) {
        (void)kindOf(*fault);
        qv::management::CallError e = callErrorOf(*fault);
        qvfuzz::require(!e.error.description.empty());
    }
    Batch batch;
    for (const char* cls : {"Win32_BIOS", "Win32_NetworkAdapterConfiguration", "StdRegProv"}) {
        why.clear();
        (void)readBatch(doc, cls, batch, why);
    }
    MethodOutput out;
    for (const char* method : {"EnumKey", "EnumValues", "GetStringValue", "Create"}) (void)readMethodOutput(doc, method, out, why);
    Identification who;
    (void)readIdentify(doc, who, why);
    (void)wmiDatetime(text);
    (void)wmiInterval(text);
    // What is escaped for a request parses back to the same text.
    const std::string escaped = "<a>" + escape(text) + "</a>";
    pugi::xml_document again;
    if (again.load_buffer(escaped.data(), escaped.size(), pugi::parse_default, pugi::encoding_utf8))
        (void)textOf(again.first_child());
    return 0;
}
