// The WS-Management transport's pure parts: answers read and typed, faults mapped, settings and
// netrc read, hostile XML refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "management/errors.h"
#include "management/host_config.h"
#include "management/wsman/answers.h"
#include "management/wsman/errors.h"
#include "management/wsman/faults.h"
#include "management/wsman/requests.h"
#include "management/wsman/settings.h"
#include "management/wsman/xml.h"

namespace {

using namespace qv;
using namespace qv::management::wsman;

TEST(WsmanValues, DatetimesAndIntervalsBecomeWmiTexts) {
    struct Case { const char* in; const char* out; } dates[] = {
        {"2020-01-31T10:00:00+01:00", "20200131100000.000000+060"},
        {"2020-01-31T10:00:00.5-05:30", "20200131100000.500000-330"},
        {"2009-07-14T01:39:57Z", "20090714013957.000000+000"},
        {"2009-07-14T01:39:57.1234567", "20090714013957.123456+000"},
        {"2009-07-14 01:39:57", ""}, {"2009-07-14T01:39", ""}, {"2009-07-14T01:39:57+1:00", ""},
    };
    for (const Case& c : dates) EXPECT_EQ(wmiDatetime(c.in), c.out) << c.in;
    EXPECT_EQ(wmiInterval("P1DT2H3M4.5S"), "00000001020304.500000:000");
    EXPECT_EQ(wmiInterval("PT90S"), "00000000000130.000000:000");
    EXPECT_EQ(wmiInterval("1D"), "");
    EXPECT_EQ(operationTimeout(60000), "PT60.000S");
    EXPECT_EQ(operationTimeout(450), "PT0.450S");
}

const char* kEnvelopeHead =
    R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" xmlns:n="http://schemas.xmlsoap.org/ws/2004/09/enumeration")"
    R"( xmlns:w="http://schemas.dmtf.org/wbem/wsman/1/wsman.xsd" xmlns:cim="http://schemas.dmtf.org/wbem/wscim/1/common")"
    R"( xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><s:Header/><s:Body>)";

std::string envelopeOf(const std::string& body) { return kEnvelopeHead + body + "</s:Body></s:Envelope>"; }

TEST(WsmanAnswers, EnumerationItemsAreTypedAsDcomTypesThem) {
    const std::string p = R"(xmlns:p="http://schemas.microsoft.com/wbem/wsman/1/wmi/root/cimv2/Win32_NetworkAdapterConfiguration")";
    const std::string answer = envelopeOf(
        "<n:EnumerateResponse><n:EnumerationContext>uuid:1</n:EnumerationContext><w:Items>"
        "<p:Win32_NetworkAdapterConfiguration " + p + "><p:TcpipNetbiosOptions>7</p:TcpipNetbiosOptions><p:IPEnabled>true</p:IPEnabled>"
        "<p:IPAddress>10.0.0.5</p:IPAddress><p:IPAddress>fe80::1</p:IPAddress><p:DNSDomain xsi:nil=\"true\"/>"
        "<p:Description>A &amp; B</p:Description></p:Win32_NetworkAdapterConfiguration>"
        "<p:Win32_NetworkAdapterConfiguration " + p + "><p:IPAddress>10.0.0.6</p:IPAddress>"
        "</p:Win32_NetworkAdapterConfiguration></w:Items></n:EnumerateResponse>");
    pugi::xml_document doc;
    std::string why;
    ASSERT_TRUE(parseAnswer(answer, doc, why)) << why;
    Batch b;
    ASSERT_TRUE(readBatch(doc, "Win32_NetworkAdapterConfiguration", b, why)) << why;
    EXPECT_FALSE(b.end);
    EXPECT_EQ(b.context, "uuid:1");
    ASSERT_EQ(b.items.size(), 2u);
    const Instance& a = b.items[0];
    EXPECT_EQ(a.get("TcpipNetbiosOptions").kind, Value::Kind::Int);
    EXPECT_EQ(a.get("TcpipNetbiosOptions").integer, 7);
    EXPECT_EQ(a.get("IPEnabled").kind, Value::Kind::Bool);
    ASSERT_EQ(a.get("IPAddress").kind, Value::Kind::List);
    EXPECT_EQ(a.get("IPAddress").list.size(), 2u);
    EXPECT_TRUE(a.get("DNSDomain").isNull());
    EXPECT_EQ(a.get("Description").text, "A & B");
    // One element of an array property is still an array.
    ASSERT_EQ(b.items[1].get("IPAddress").kind, Value::Kind::List);
    EXPECT_EQ(b.items[1].get("IPAddress").list.size(), 1u);

    // A Pull's answer in n:Items, property lists as fragments, the end of the sequence.
    const std::string pulled = envelopeOf(
        "<n:PullResponse><n:Items><w:XmlFragment><Caption>X</Caption><InstallDate><cim:Datetime>2021-02-03T04:05:06+02:00"
        "</cim:Datetime></InstallDate></w:XmlFragment></n:Items><n:EndOfSequence/></n:PullResponse>");
    ASSERT_TRUE(parseAnswer(pulled, doc, why)) << why;
    ASSERT_TRUE(readBatch(doc, "Win32_OperatingSystem", b, why)) << why;
    EXPECT_TRUE(b.end);
    ASSERT_EQ(b.items.size(), 1u);
    EXPECT_EQ(b.items[0].get("InstallDate").text, "20210203040506.000000+120");
    EXPECT_EQ(b.items[0].get("Caption").text, "X");
}

TEST(WsmanAnswers, HostileOrBrokenXmlIsRefused) {
    const std::vector<std::string> bad = {
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;\">]><a>&lol2;</a>",
        "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>",
        "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>",
        "", "not xml at all",
    };
    for (const std::string& text : bad) {
        pugi::xml_document doc;
        std::string why;
        EXPECT_FALSE(parseAnswer(text, doc, why)) << text;
        EXPECT_FALSE(why.empty());
    }
    // An answer that is not an enumeration's is not read as one.
    pugi::xml_document doc;
    std::string why;
    ASSERT_TRUE(parseAnswer(envelopeOf("<x/>"), doc, why));
    Batch b;
    EXPECT_FALSE(readBatch(doc, "Win32_BIOS", b, why));
}

std::string faultEnvelope(const std::string& subcode, const std::string& detail) {
    return envelopeOf("<s:Fault><s:Code><s:Value>s:Sender</s:Value><s:Subcode><s:Value>" + subcode +
                      "</s:Value></s:Subcode></s:Code><s:Reason><s:Text xml:lang=\"en-US\">Some reason.</s:Text></s:Reason>"
                      "<s:Detail>" + detail + "</s:Detail></s:Fault>");
}

std::string wsmanFault(const std::string& code, const std::string& inner = "") {
    return "<f:WSManFault xmlns:f=\"http://schemas.microsoft.com/wbem/wsman/1/wsmanfault\" Code=\"" + code +
           "\" Machine=\"ws01\"><f:Message>" + inner + "</f:Message></f:WSManFault>";
}

TEST(WsmanFaults, WsmanNumbersBecomeTheWindowsProgramsErrors) {
    struct Case {
        std::string answer;
        std::int32_t number;
        const char* text;
        FaultKind kind;
        bool limitReached;
    } cases[] = {
        {faultEnvelope("a:DestinationUnreachable", wsmanFault("2150858752", "<f:ProviderFault>" + wsmanFault("2150858752") + "</f:ProviderFault>")),
         management::kErrInvalidClass, management::kErrInvalidClassText, FaultKind::Failed, false},
        {faultEnvelope("w:TimedOut", wsmanFault("2150858793")), management::kErrTimedOut, management::kErrTimedOutText,
         FaultKind::TimedOut, true},
        {faultEnvelope("w:QuotaLimit", wsmanFault("2150859174")), static_cast<std::int32_t>(0x8004106Cu), "Quota violation ",
         FaultKind::Quota, false},
        {faultEnvelope("w:EncodingLimit", wsmanFault("2150858808")), static_cast<std::int32_t>(0x80041044u), "Too much data ",
         FaultKind::EncodingLimit, false},
        {faultEnvelope("w:AccessDenied", wsmanFault("5")), kErrAccessDenied, kErrAccessDeniedText, FaultKind::AccessDenied, false},
        // A provider's WMI number inside WS-Management's generic fault is the number shown.
        {faultEnvelope("w:InternalError", wsmanFault("2150858755", "<f:ProviderFault>" + wsmanFault("2147749889") + "</f:ProviderFault>")),
         static_cast<std::int32_t>(0x80041001u), "Generic failure ", FaultKind::Failed, false},
        {faultEnvelope("w:InternalError", wsmanFault("2150858753")), static_cast<std::int32_t>(2150858753u), "Some reason. ",
         FaultKind::Failed, false},
        // Only the subcode: the enumeration's context is gone.
        {faultEnvelope("n:InvalidEnumerationContext", ""), static_cast<std::int32_t>(0x80041001u), "Generic failure ",
         FaultKind::InvalidContext, false},
    };
    for (const Case& c : cases) {
        pugi::xml_document doc;
        std::string why;
        ASSERT_TRUE(parseAnswer(c.answer, doc, why)) << why;
        std::optional<Fault> f = faultOf(doc);
        ASSERT_TRUE(f) << c.answer;
        EXPECT_EQ(kindOf(*f), c.kind) << c.answer;
        management::CallError e = callErrorOf(*f);
        EXPECT_EQ(e.error.number, c.number) << c.answer;
        EXPECT_EQ(e.error.description, c.text) << c.answer;
        EXPECT_EQ(e.limitReached, c.limitReached) << c.answer;
    }
}

TEST(WsmanSettings, HostBlocksNetrcAndTheirRefusals) {
    const std::string config =
        "# computers over WS-Management\nHost ws* !ws9\n  HostName 127.0.0.1\n  Port 15985\nHost *\n  Scheme https\n"
        "Host lab?\n  Auth=basic\n  Scheme http\n  Connections 1\nHost ws0?\n  Connections 3\n";
    struct Case {
        const char* name; bool ok; bool configured; const char* host; unsigned port; Scheme scheme; int connections;
    } cases[] = {
        {"WS01", true, true, "127.0.0.1", 15985, Scheme::Https, 3},
        {"ws9", true, false, "ws9", 0, Scheme::Https, Settings::kDefaultConnections},
        {"lab1", true, true, "lab1", 0, Scheme::Https, 1},
        {"other", true, false, "other", 0, Scheme::Https, Settings::kDefaultConnections},
    };
    for (const Case& c : cases) {
        Settings s;
        std::string why;
        bool ok = settingsFromText(config, c.name, s, why);
        // The first value wins, as ssh takes it: lab1's Scheme is "Host *"'s https, so Basic stands.
        if (std::string(c.name) == "lab1") {
            EXPECT_EQ(s.auth, AuthChoice::Basic);
        }
        EXPECT_EQ(ok, c.ok) << c.name << ": " << why;
        EXPECT_EQ(s.configured, c.configured) << c.name;
        EXPECT_EQ(s.hostName, c.host) << c.name;
        EXPECT_EQ(s.port, c.port) << c.name;
        EXPECT_EQ(s.scheme, c.scheme) << c.name;
        EXPECT_EQ(s.connections, c.connections) << c.name;
    }
    Settings s;
    std::string why;
    EXPECT_FALSE(settingsFromText("Host a\n Auth basic\n", "a", s, why));
    EXPECT_FALSE(settingsFromText("Host a\n Port 70000\n", "a", s, why));
    EXPECT_FALSE(settingsFromText("Host a\n Scheme ftp\n", "a", s, why));
    for (const char* n : {"0", "65", "2x", "-1"})
        EXPECT_FALSE(settingsFromText(std::string("Host a\n Connections ") + n + "\n", "a", s, why)) << n;

    const std::string netrc =
        "machine WS01 login CORP\\alice password s3cret\nmacdef init\nmachine ws02 login x password y\n\n"
        "default login CORP\\bob password other\n";
    std::optional<Login> l = loginFromNetrc(netrc, "ws01");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->user, "CORP\\alice");
    EXPECT_EQ(l->password, "s3cret");
    l = loginFromNetrc(netrc, "ws02");  // only inside a macro's body: not an entry
    ASSERT_TRUE(l);
    EXPECT_EQ(l->user, "CORP\\bob");
    EXPECT_FALSE(loginFromNetrc("machine a login b password c\n", "z"));
}

}  // namespace
