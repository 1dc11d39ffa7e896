// The Windows registry through RegOpenKeyExA/RegQueryValueExA, under an overlay that registers the
// components this program brings itself; every other key comes from the real registry.
#include "platform/win32/registry-win32.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/components.h"
#include "platform/win32/files-win32.h"
#include "platform/win32/text-win32.h"

namespace qv::win32 {

namespace {

constexpr REGSAM kKeyRead = 131097;          // KEY_READ
constexpr DWORD kFirstReadBytes = 1024;      // the first read's buffer; a longer value is read again
constexpr DWORD kTextTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ};

// The predefined key of a hive number: the handle values are the numbers read as signed 32-bit,
// widened with their sign as Windows defines them.
HKEY predefinedKey(std::uint32_t hive) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<std::int32_t>(hive))));
}

// "wldap32" with the file version of the directory library, when the library carries one.
std::string directoryLayerName() {
    std::string version;
    return Win32FileSystem().fileVersion("wldap32.dll", version) ? "wldap32 " + version : "wldap32";
}

}  // namespace

Win32Registry::Win32Registry() {
    for (const ComponentEntry& e : ownComponents(directoryLayerName()))
        overlay_.setString(e.hive, e.key, e.valueName, e.text);
}

RegistryStatus Win32Registry::read(std::uint32_t hive, const std::string& key, const std::string& valueName,
                                   RegistryValue& out) {
    const RegistryStatus own = overlay_.read(hive, key, valueName, out);
    if (own == RegistryStatus::Ok) return own;

    HKEY opened = nullptr;
    if (RegOpenKeyExA(predefinedKey(hive), toAnsi(key).c_str(), 0, kKeyRead, &opened) != ERROR_SUCCESS)
        return own;
    const std::string name = toAnsi(valueName);
    std::vector<unsigned char> buffer(kFirstReadBytes);
    DWORD type = 0, length = kFirstReadBytes;
    LONG status = RegQueryValueExA(opened, name.c_str(), nullptr, &type, buffer.data(), &length);
    if (status == ERROR_MORE_DATA) {
        buffer.assign(length, 0);
        status = RegQueryValueExA(opened, name.c_str(), nullptr, &type, buffer.data(), &length);
    }
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return RegistryStatus::ValueMissing;
    buffer.resize(std::min<std::size_t>(length, buffer.size()));

    out.type = static_cast<std::int32_t>(type);
    if (std::find(std::begin(kTextTypes), std::end(kTextTypes), type) != std::end(kTextTypes)) {
        // Texts leave the ANSI code page; NULs stay where they are, so terminators and the
        // separators of multi-strings keep their places.
        std::string text = fromAnsi(std::string(buffer.begin(), buffer.end()));
        out.data.assign(text.begin(), text.end());
    } else {
        out.data = std::move(buffer);
    }
    return RegistryStatus::Ok;
}

}  // namespace qv::win32
