// The requests qv sends: the SOAP envelope with its WS-Management headers, and the bodies of
// Identify, Enumerate, Pull, Release and the registry provider's and shares' methods.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace qv::management::wsman {

inline constexpr std::size_t kMaxEnvelopeSize = 512000;
// What Windows 7 and Server 2008 R2 allow; taken when a server refuses the larger size.
inline constexpr std::size_t kSmallEnvelopeSize = 153600;

struct Option {
    std::string name, type, value;
};

struct Request {
    std::string to;           // http://HOST:PORT/wsman
    std::string resourceUri;  // the class, "cimv2/*" for a query, or the registry provider
    std::string action;       // the operation's or method's action URI
    std::string body;         // the content of s:Body, XML
    std::vector<std::pair<std::string, std::string>> selectors;
    std::vector<Option> options;
    std::size_t maxEnvelopeSize = kMaxEnvelopeSize;
    int timeoutMs = 60000;
};

// "PT60.000S" for 60000 ms.
std::string operationTimeout(int ms);
// A new "uuid:..." message identifier.
std::string newMessageId();
std::string envelope(const Request& request, const std::string& messageId);
std::string identifyEnvelope();

namespace action {
inline constexpr const char* enumerate = "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Enumerate";
inline constexpr const char* pull = "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Pull";
inline constexpr const char* release = "http://schemas.xmlsoap.org/ws/2004/09/enumeration/Release";
}  // namespace action

// An Enumerate of a class's instances (empty `wql`) or of a query's answer.
std::string enumerateBody(const std::string& wql, int maxElements);
std::string pullBody(const std::string& context, int maxElements);
std::string releaseBody(const std::string& context);
// A method's input: <p:METHOD_INPUT xmlns:p="URI"> with one element per parameter.
std::string methodBody(const std::string& resourceUri, const std::string& method,
                       const std::vector<std::pair<std::string, std::string>>& parameters);

}  // namespace qv::management::wsman
