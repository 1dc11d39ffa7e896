// The pure readers under the platforms: the chunked line reader, the SMBIOS decoder and the
// kernel-module information reader, each over whole inputs and every truncation of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <string>
#include <vector>

#include "facts/modinfo.h"
#include "facts/smbios.h"
#include "platform/line_reader.h"
#include "tests/facts/tree.h"

namespace {

// Serves `bytes` in chunks of at most `step` bytes.
class StringLineReader : public qv::ChunkedLineReader {
public:
    StringLineReader(std::string bytes, std::size_t step) : bytes_(std::move(bytes)), step_(step) {}

protected:
    std::size_t readChunk(char* into, std::size_t capacity) override {
        const std::size_t n = std::min({step_, capacity, bytes_.size() - at_});
        bytes_.copy(into, n, at_);
        at_ += n;
        return n;
    }
    void closeSource() override {}
    // Marks the lines that went through the back-end's own conversion.
    std::string toText(std::string bytes) override { return marked_ ? "~" + bytes : bytes; }

public:
    bool marked_ = false;

private:
    std::string bytes_;
    std::size_t step_, at_ = 0;
};

}  // namespace

TEST(LineReader, LinesEndAtLfWithOneCrBeforeItInEveryChunking) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\r\nb\r", {"a\r", "b"}},  // only the CR next to the LF, or at the very end, is the line end
        {"a\rb\n", {"a\rb"}},
        {"\r\n", {""}},
        {std::string(70000, 'x') + "\r\ny", {std::string(70000, 'x'), "y"}},
    };
    for (const Case& c : cases) {
        for (std::size_t step : {1u, 2u, 3u, 5u, 65536u}) {
            StringLineReader reader(c.bytes, step);
            std::vector<std::string> lines;
            while (!reader.atEnd()) lines.push_back(reader.readLine());
            EXPECT_EQ(lines, c.lines) << "chunks of " << step << " of '" << c.bytes.substr(0, 20) << "'";
            reader.close();
            EXPECT_TRUE(reader.atEnd());
        }
    }
}

TEST(LineReader, ByteOrderMarksChooseTheEncodingInEveryChunking) {
    const std::string le = "\xFF\xFE", be = "\xFE\xFF", u8 = "\xEF\xBB\xBF";
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\n\xE9", {"~a", "~\xE9"}},  // no mark: the back-end's own code page
        {u8 + "PC\xC3\xA9\r\nB", {"PC\xC3\xA9", "B"}},
        {u8, {}},
        {le + std::string("P\0C\0\xE9\0\r\0\n\0B\0", 12), {"PC\xC3\xA9", "B"}},
        {be + std::string("\0A\0\n\xD8\x3D\xDE\x00\0\n", 10), {"A", "\xF0\x9F\x98\x80"}},  // a surrogate pair
        {le + std::string("A\0\x3D\xD8", 4), {"A\xEF\xBF\xBD"}},   // a lone high surrogate at the end
        {le + std::string("\x00\xDC" "A\0B", 5), {"\xEF\xBF\xBD" "A\xEF\xBF\xBD"}},  // a lone low one, an odd last byte
        {"\xEF\xBB", {"~\xEF\xBB"}},  // a short file that only begins like a mark
        {"\xFF", {"~\xFF"}},
    };
    for (const Case& c : cases)
        for (std::size_t step : {1u, 2u, 3u, 65536u}) {
            StringLineReader reader(c.bytes, step);
            reader.marked_ = true;
            std::vector<std::string> lines;
            while (!reader.atEnd()) lines.push_back(reader.readLine());
            EXPECT_EQ(lines, c.lines) << "chunks of " << step << " of case " << (&c - cases);
        }
}

TEST(Smbios, StructuresFieldsAndStringsOfWholeAndTruncatedTables) {
    using qvtest::smbiosStructure;
    using namespace qv::facts;
    // A firmware record (vendor string 1, version string 2, a word and a dword) and an enclosure
    // whose string field points past its set.
    const std::string table =
        smbiosStructure(0, 0x10, {1, 2, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12}, {"Vendor  ", "1.0"}) +
        smbiosStructure(3, 0x11, {3, 0}, {"Only"}) + smbiosStructure(127, 0x12, {}, {});
    const Smbios whole = parseSmbios(qvtest::smbios3EntryPoint(3, 2, static_cast<std::uint32_t>(table.size())), table);
    ASSERT_TRUE(whole.present);
    EXPECT_EQ(whole.major, 3);
    EXPECT_EQ(whole.minor, 2);
    ASSERT_EQ(whole.structures.size(), 3u);
    const SmbiosStructure& bios = whole.structures[0];
    EXPECT_EQ(bios.handle, 0x10);
    EXPECT_EQ(bios.string(4), "Vendor");  // trailing blanks removed
    EXPECT_EQ(bios.string(5), "1.0");
    EXPECT_EQ(bios.word(6), 0x1234);
    EXPECT_EQ(bios.dword(8), 0x12345678u);
    EXPECT_EQ(bios.byte(12), std::nullopt);  // past the formatted area
    EXPECT_EQ(bios.qword(6), std::nullopt);
    ASSERT_EQ(whole.ofType(3).size(), 1u);
    EXPECT_EQ(whole.ofType(3)[0]->string(4), std::nullopt);  // index 3 of a set of one
    EXPECT_EQ(whole.ofType(3)[0]->string(5), std::nullopt);  // index 0
    EXPECT_TRUE(whole.ofType(4).empty());

    // Every cut of the table keeps the whole structures before it, and only those.
    // A structure without strings is whole once the first NUL after its formatted area is there.
    const std::size_t ends[] = {26, 38, 43};
    for (std::size_t cut = 0; cut <= table.size(); ++cut) {
        const std::string part = table.substr(0, cut);
        const Smbios s = parseSmbios(qvtest::smbios3EntryPoint(3, 2, static_cast<std::uint32_t>(table.size())), part);
        const auto complete = static_cast<std::size_t>(std::count_if(std::begin(ends), std::end(ends), [&](std::size_t e) { return e <= cut; }));
        EXPECT_EQ(s.structures.size(), complete) << "cut at " << cut;
        EXPECT_EQ(s.present, complete > 0) << "cut at " << cut;
    }
    // An entry point of no known form still lets the table be read, without a version.
    const Smbios unknown = parseSmbios("_XX_", table);
    EXPECT_EQ(unknown.structures.size(), 3u);
    EXPECT_EQ(unknown.major, std::nullopt);
}

TEST(ModuleInfo, KeysOfWholeAndTruncatedModules) {
    qvtest::Tree tree;
    const std::string module = qvtest::kernelModule({"license=GPL", "description=Virtio block driver", "alias=a", "alias=b"});
    tree.file("/m.ko", module).file("/text.ko", "license=GPL\n");
    const std::string path = tree.root() + "/m.ko";
    struct Case {
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"description", "Virtio block driver"}, {"license", "GPL"}, {"alias", "a"}, {"version", std::nullopt}, {"lic", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(qv::facts::moduleInfo(path, c.key), c.value) << c.key;
    EXPECT_EQ(qv::facts::moduleInfo(tree.root() + "/text.ko", "license"), std::nullopt);
    EXPECT_EQ(qv::facts::moduleInfo(tree.root() + "/missing.ko", "license"), std::nullopt);
    // A cut module gives nothing or the right value, never another; read together, every module
    // gives what it gives alone.
    std::vector<std::string> paths = {"/m.ko", "/text.ko", "/missing.ko"};
    for (std::size_t cut = 0; cut < module.size(); cut += 7) {
        tree.file("/cut" + std::to_string(cut) + ".ko", module.substr(0, cut));
        paths.push_back("/cut" + std::to_string(cut) + ".ko");
    }
    auto files = qv::facts::localFiles(tree.root());
    const auto together = qv::facts::moduleInfos(*files, paths, "description");
    ASSERT_EQ(together.size(), paths.size());
    EXPECT_EQ(together[0], "Virtio block driver");
    for (std::size_t k = 1; k < paths.size(); ++k) {
        const auto alone = qv::facts::moduleInfo(tree.root() + paths[k], "description");
        EXPECT_TRUE(!alone || *alone == "Virtio block driver") << paths[k] << ": " << *alone;
        EXPECT_EQ(together[k], alone) << paths[k];
    }
}
