// The run log of a computer whose classes fail or whose values hold control bytes: a refused or
// not understood class is logged once per class, and remote texts reach the log without ESC.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/inventory/collectors/net_sim.h"

namespace qvtest {
namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

TEST(ClassFailuresLog, RefusedAndMalformedClassesAreLoggedOncePerClass) {
    const SimResult r = net::runWs01(R"J(
      "classes": {"Win32_NetworkAdapterConfiguration": [{"Caption": "NIC\u001b[2J\u001b]0;owned\u0007 one",
         "IPEnabled": true, "IPAddress": ["10.0.0.5"], "IPSubnet": ["255.255.255.0"], "DNSServerSearchOrder": null}]},
      "failingClasses": {
        "Win32_BIOS": {"number": -2147024891, "description": "Access is denied. "},
        "Win32_Processor": {"number": -2147217405, "description": "Access denied "},
        "Win32_DiskDrive": {"number": -1604911100, "description": "WS-Management answer of WS01 not understood: bad \u001b[31mtag\r\nX "},
        "Win32_TapeDrive": {"number": -2147217392, "description": "Invalid class "},
        "Win32_Keyboard": {"number": -2147217407, "description": "Generic failure "}})J");
    const std::string log = r.file("docs/QV.log");
    ASSERT_FALSE(log.empty()) << r.out;
    struct Case {
        const char* className;
        const char* line;  // empty: no line for the class
    } cases[] = {
        {"Win32_BIOS", "WS01 Query Failed: Win32_BIOS could not be read: Err#-2147024891 Access is denied.; inventory incomplete"},
        {"Win32_Processor", "WS01 Query Failed: Win32_Processor could not be read: Err#-2147217405 Access denied; inventory incomplete"},
        {"Win32_DiskDrive", "WS01 Query Failed: Win32_DiskDrive could not be read: Err#-1604911100 WS-Management answer of WS01 "
                            "not understood: bad ?[31mtag??X; inventory incomplete"},
        // A class the computer lacks, and a provider's own failure, stay as they were.
        {"Win32_TapeDrive", ""},
        {"Win32_Keyboard", ""},
    };
    for (const Case& c : cases) {
        const std::string prefix = std::string("WS01 Query Failed: ") + c.className + " ";
        if (*c.line) {
            EXPECT_EQ(occurrences(log, std::string(c.line) + "\r\n"), 1u) << c.className << "\n" << log;
            EXPECT_EQ(occurrences(log, prefix), 1u) << c.className;
        } else {
            EXPECT_EQ(occurrences(log, prefix), 0u) << c.className;
        }
    }
    // The adapter's caption, as the other computer sent it, reaches the log without its controls.
    EXPECT_EQ(occurrences(log, "  NIC: NIC?[2J?]0;owned? one\r\n"), 1u) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
    EXPECT_EQ(log.find('\x07'), std::string::npos);
}

}  // namespace
}  // namespace qvtest
