// Fuzz harness: an SMBIOS entry point and structure table as the firmware hands them to the kernel.
#include <cstddef>
#include <cstdint>
#include <string>

#include "facts/smbios.h"
#include "tests/fuzz/fuzz_input.h"

using namespace qv::facts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The entry point's length in the first byte, then the entry point, then the table.
    if (size == 0) return 0;
    const std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t entryLength = std::min<std::size_t>(data[0], all.size());
    const Smbios s = parseSmbios(std::string_view(all).substr(0, entryLength), std::string_view(all).substr(entryLength));
    std::size_t bytes = 0;
    for (const SmbiosStructure& st : s.structures) {
        bytes += st.formatted.size();
        for (std::size_t offset = 0; offset < st.formatted.size() + 8; ++offset) {
            (void)st.byte(offset);
            (void)st.word(offset);
            (void)st.dword(offset);
            (void)st.qword(offset);
            if (auto text = st.string(offset)) qvfuzz::require(text->size() <= all.size());
        }
    }
    qvfuzz::require(bytes <= all.size());  // nothing is read outside the given bytes
    for (std::uint8_t type : {0, 1, 2, 3, 4, 16, 17}) (void)s.ofType(type);
    return 0;
}
