// The management service's own texts for its error numbers (0x8004xxxx), on every platform.
#include "management/wbem-texts.h"

namespace qv::management {

namespace {

struct WbemText {
    std::uint32_t number;
    const char* text;
};

// Texts as the management service words them, in number order: kept as data because not
// every platform can give them (Wine has none for 0x8004xxxx).
constexpr WbemText kWbemTexts[] = {
    {0x80041001, "Generic failure "},
    {0x80041002, "Not found "},
    {0x80041003, "Access denied "},
    {0x80041004, "Provider failure "},
    {0x80041005, "Type mismatch "},
    {0x80041006, "Out of memory "},
    {0x80041007, "Invalid context "},
    {0x80041008, "Invalid parameter "},
    {0x80041009, "Not available "},
    {0x8004100A, "Critical error "},
    {0x8004100B, "Invalid stream "},
    {0x8004100C, "Not supported "},
    {0x8004100D, "Invalid superclass "},
    {0x8004100E, "Invalid namespace "},
    {0x8004100F, "Invalid object "},
    {0x80041010, "Invalid class "},
    {0x80041011, "Provider not found "},
    {0x80041012, "Invalid provider registration "},
    {0x80041013, "Provider load failure "},
    {0x80041014, "Initialization failure "},
    {0x80041015, "Transport failure "},
    {0x80041016, "Invalid operation "},
    {0x80041017, "Invalid query "},
    {0x80041018, "Invalid query type "},
    {0x80041019, "Already exists "},
    {0x8004101A, "Override not allowed "},
    {0x8004101B, "Propagated qualifier "},
    {0x8004101C, "Propagated property "},
    {0x8004101D, "Unexpected "},
    {0x8004101E, "Illegal operation "},
    {0x8004101F, "Cannot be key "},
    {0x80041020, "Incomplete class "},
    {0x80041021, "Invalid syntax "},
    {0x80041022, "Nondecorated object "},
    {0x80041023, "Read only "},
    {0x80041024, "Provider not capable "},
    {0x80041025, "Class has children "},
    {0x80041026, "Class has instances "},
    {0x80041027, "Query not implemented "},
    {0x80041028, "Illegal null "},
    {0x80041029, "Invalid qualifier type "},
    {0x8004102A, "Invalid property type "},
    {0x8004102B, "Value out of range "},
    {0x8004102C, "Cannot be singleton "},
    {0x8004102D, "Invalid cim type "},
    {0x8004102E, "Invalid method "},
    {0x8004102F, "Invalid method parameters "},
    {0x80041030, "System property "},
    {0x80041031, "Invalid property "},
    {0x80041032, "Call cancelled "},
    {0x80041033, "Shutting down "},
    {0x80041034, "Propagated method "},
    {0x80041035, "Unsupported parameter "},
    {0x80041036, "Missing parameter id "},
    {0x80041037, "Invalid parameter id "},
    {0x80041038, "Nonconsecutive parameter ids "},
    {0x80041039, "Parameter id on retval "},
    {0x8004103A, "Invalid object path "},
    {0x8004103B, "Out of disk space "},
    {0x8004103C, "Buffer too small "},
    {0x8004103D, "Unsupported put extension "},
    {0x8004103E, "Unknown object type "},
    {0x8004103F, "Unknown packet type "},
    {0x80041040, "Marshal version mismatch "},
    {0x80041041, "Marshal invalid signature "},
    {0x80041042, "Invalid qualifier "},
    {0x80041043, "Invalid duplicate parameter "},
    {0x80041044, "Too much data "},
    {0x80041045, "Server too busy "},
    {0x80041046, "Invalid flavor "},
    {0x80041047, "Circular reference "},
    {0x80041048, "Unsupported class update "},
    {0x80041049, "Cannot change key inheritance "},
    {0x80041050, "Cannot change index inheritance "},
    {0x80041051, "Too many properties "},
    {0x80041052, "Update type mismatch "},
    {0x80041053, "Update override not allowed "},
    {0x80041054, "Update propagated method "},
    {0x80041055, "Method not implemented "},
    {0x80041056, "Method disabled "},
    {0x80041057, "Refresher busy "},
    {0x80041058, "Unparsable query "},
    {0x80041059, "Not event class "},
    {0x8004105A, "Missing group within "},
    {0x8004105B, "Missing aggregation list "},
    {0x8004105C, "Property not an object "},
    {0x8004105D, "Aggregating by object "},
    {0x8004105F, "Uninterpretable provider query "},
    {0x80041060, "Backup restore winmgmt running "},
    {0x80041061, "Queue overflow "},
    {0x80041062, "Privilege not held "},
    {0x80041063, "Invalid operator "},
    {0x80041064, "User credentials cannot be used for local connections "},
    {0x80041065, "Cannot be abstract "},
    {0x80041066, "Amended object "},
    {0x80041067, "Client too slow "},
    {0x80041068, "Null security descriptor "},
    {0x80041069, "Timed out "},
    {0x8004106A, "Invalid association "},
    {0x8004106B, "Ambiguous operation "},
    {0x8004106C, "Quota violation "},
};

}  // namespace

const char* wbemText(std::int32_t number) {
    const auto code = static_cast<std::uint32_t>(number);
    for (const WbemText& t : kWbemTexts)
        if (t.number == code) return t.text;
    return nullptr;
}

}  // namespace qv::management
