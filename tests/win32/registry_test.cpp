// The registry reader on the real Windows registry and its overlay, run under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include "environment/registry_reader.h"
#include "programs/win32.h"

using namespace qv;
using environment::RegEntry;

namespace {

const char* const kTestKey = "Software\\QvRegistryTest";

// The Windows system with its message boxes recorded instead of shown.
struct RecordingSystem : win32::Win32System {
    std::vector<std::string> boxes;
    void messageBox(const std::string& text) override { boxes.push_back(text); }
};

class Win32Registry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        auto set = [&](const char* name, DWORD type, const std::string& bytes) {
            ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                     static_cast<DWORD>(bytes.size())),
                      ERROR_SUCCESS);
        };
        using namespace std::string_literals;
        set("None", REG_NONE, "\x01\x00\x02"s);
        set("Text", REG_SZ, "Plain text\0"s);
        set("Ansi", REG_SZ, "M\xFCller\0"s);  // code page 1252
        set("Empty", REG_SZ, ""s);
        set("Expand", REG_EXPAND_SZ, "%SystemRoot%\\Fonts\0"s);
        set("Quoted", REG_EXPAND_SZ, "\"%SystemRoot%\\Fonts\"\0"s);
        set("Binary", REG_BINARY, "\xFF\x00\x10"s);
        set("One", REG_DWORD, "\x01\x00\x00\x00"s);
        set("Negative", REG_DWORD, "\xFE\xFF\xFF\xFF"s);
        set("Multi", REG_MULTI_SZ, "A\0B\0\0"s);
        set("Quad", REG_QWORD, "\x05\0\0\0\0\0\0\0"s);
        std::string longText(3000, 'x');
        longText.replace(0, 5, "start");
        longText.replace(2995, 5, "close");
        set("Long", REG_SZ, longText + '\0');
        std::string longBytes;
        for (int i = 0; i < 5000; ++i) longBytes += static_cast<char>(i % 251);
        set("LongBinary", REG_BINARY, longBytes);
        RegCloseKey(key);
    }
    static void TearDownTestSuite() { RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }

    RegEntry read(std::string hive, const std::string& key, const std::string& name) {
        dataType = 0;
        RegEntry e = environment::getRegEntry(platform, hive, key, name, dataType);
        hiveAfter = hive;
        return e;
    }
    RegEntry own(const std::string& name) { return read("HKCU", kTestKey, name); }
    static std::string text(const RegEntry& e) {
        const std::string* s = std::get_if<std::string>(&e);
        return s ? *s : "<not a text>";
    }
    static std::string systemRoot() {
        char buffer[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("SystemRoot", buffer, MAX_PATH);
        return std::string(buffer, n);
    }

    programs::Win32Program win32;
    RecordingSystem system;
    Platform platform{win32.console, win32.registry, win32.identity,
                      win32.files, win32.directory, system};
    std::int32_t dataType = 0;
    std::string hiveAfter;
};

}  // namespace

TEST_F(Win32Registry, TextTypesComeBackAsUtf8TextWithoutTheirTerminators) {
    EXPECT_EQ(text(own("Text")), "Plain text");
    EXPECT_EQ(dataType, 1);
    if (GetACP() == 1252) {
        EXPECT_EQ(text(own("Ansi")), "M\xC3\xBCller");
    }
    EXPECT_EQ(text(own("Empty")), "");
    EXPECT_EQ(dataType, 1);

    const std::string fonts = systemRoot() + "\\Fonts";
    ASSERT_GT(fonts.size(), 6u);
    EXPECT_EQ(text(own("Expand")), fonts);
    EXPECT_EQ(dataType, 2);
    EXPECT_EQ(text(own("Quoted")), fonts);  // the quotes become blanks, then go

    EXPECT_EQ(text(own("Multi")), std::string("A\0B", 3));
    EXPECT_EQ(dataType, 7);
    EXPECT_TRUE(system.boxes.empty());
}

TEST_F(Win32Registry, NumbersBytesAndUnsupportedTypes) {
    RegEntry one = own("One");
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(one));
    EXPECT_EQ(std::get<std::int32_t>(one), 1);
    EXPECT_EQ(dataType, 4);
    EXPECT_EQ(std::get<std::int32_t>(own("Negative")), -2);

    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(std::get<Bytes>(own("None")), (Bytes{1, 0, 2}));
    EXPECT_EQ(dataType, 0);
    EXPECT_EQ(std::get<Bytes>(own("Binary")), (Bytes{0xFF, 0, 0x10}));
    EXPECT_EQ(dataType, 3);

    EXPECT_EQ(text(own("Quad")), "Unsupported DataType: 11");
    EXPECT_EQ(dataType, -1);
    EXPECT_EQ(system.boxes, std::vector<std::string>{"Unsupported Registry DataType: 11"});
}

TEST_F(Win32Registry, ValuesLongerThanTheFirstBufferAreReadWhole) {
    std::string longText = text(own("Long"));
    ASSERT_EQ(longText.size(), 3000u);
    EXPECT_EQ(longText.substr(0, 5), "start");
    EXPECT_EQ(longText.substr(2995), "close");
    auto bytes = std::get<std::vector<unsigned char>>(own("LongBinary"));
    ASSERT_EQ(bytes.size(), 5000u);
    EXPECT_EQ(bytes[4999], 4999 % 251);
}

TEST_F(Win32Registry, FailuresGiveAnEmptyResultAndTypeMinusOne) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(own("NoSuchValue")));
    EXPECT_EQ(dataType, -1);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(read("HKCU", "Software\\QvNoSuchKey", "")));
    EXPECT_EQ(dataType, -1);
    EXPECT_TRUE(system.boxes.empty());
    EXPECT_TRUE(std::holds_alternative<std::monostate>(read("HKXX", kTestKey, "Text")));
    EXPECT_EQ(dataType, -1);
    EXPECT_EQ(system.boxes, std::vector<std::string>{"Invalid HKey"});
}

TEST_F(Win32Registry, HiveNamesInAnyCaseBecomeTheNegativeHandleText) {
    EXPECT_EQ(text(read("hkcu", kTestKey, "Text")), "Plain text");
    EXPECT_EQ(hiveAfter, "-2147483647");
    EXPECT_EQ(text(read("HKEY_Current_User", kTestKey, "Text")), "Plain text");
    read("hklm", "Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion");
    EXPECT_EQ(dataType, 1);
    EXPECT_EQ(hiveAfter, "-2147483646");
}

TEST_F(Win32Registry, OwnComponentsAnswerFromTheOverlayAndTheRestFromWindows) {
    std::string adodb = text(read("HKCR", "ADODB.Connection\\CurVer", ""));
    EXPECT_EQ(adodb.rfind("ADODB.Connection (SQLite 3.", 0), 0u) << adodb;  // Wine registers ADODB.Connection.6.0
    EXPECT_EQ(text(read("HKCR", "adox.catalog\\curver", "")).rfind("ADOX.Catalog (SQLite 3.", 0), 0u);
    EXPECT_EQ(text(read("HKCR", "Microsoft.Jet.OLEDB.4.0", "")).rfind("SQLite 3.", 0), 0u);
    EXPECT_EQ(text(read("HKLM", "Software\\Microsoft\\Jet\\4.0\\Engines\\Text", "DisabledExtensions")),
              "!txt,csv,tab,asc,tmp,htm,html");
    std::string directory = text(read("HKCR", "ADsDSOObject", ""));
    // Wine's wldap32 carries no version resource; Windows' adds its file version.
    EXPECT_EQ(directory.rfind("LDAP directory layer (wldap32", 0), 0u) << directory;
    EXPECT_TRUE(directory.ends_with(")")) << directory;

    EXPECT_EQ(text(read("HKCR", "WINMGMTS\\CurVer", "")), "WINMGMTS.1");
    read("HKCR", "WinNT\\Clsid", "");
    EXPECT_EQ(dataType, -1);
}
