// WMI through COM (being built).
#include "platform/win32/management-win32.h"

namespace qv::win32 {

WmiManagement::WmiManagement() {}
WmiManagement::~WmiManagement() {}
std::unique_ptr<TargetService> WmiManagement::connect(const std::string&, const std::string&, PlatformError& err) {
    err.number = -2147217394;
    err.description = "Not yet available";
    return nullptr;
}

}  // namespace qv::win32
