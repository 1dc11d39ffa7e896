// The Windows file layer on real files, run under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/win32/files-win32.h"
#include "platform/win32/text-win32.h"

using namespace qv::win32;

namespace {

// A fresh folder under the temporary folder, removed with its files at the end of the test.
class Win32Files : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        dir = fromWide(temp, wcslen(temp)) + "qv-files-" + std::to_string(GetCurrentProcessId()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryW(toWide(dir).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        for (const std::string& f : made) DeleteFileW(toWide(f).c_str());
        RemoveDirectoryW(toWide(dir).c_str());
    }
    std::string path(const std::string& name) {
        made.push_back(fs.join(dir, name));
        return made.back();
    }
    std::string bytes(const std::string& p) {
        std::ifstream in(toWide(p).c_str(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> lines(const std::string& p) {
        std::vector<std::string> read;
        auto r = fs.openForReading(p);
        while (r && !r->atEnd()) read.push_back(r->readLine());
        return read;
    }
    Win32FileSystem fs;
    std::string dir;
    std::vector<std::string> made;
};

}  // namespace

TEST_F(Win32Files, WriteAppendAndReadBackInTheAnsiCodePageWithCrLf) {
    const std::string file = path("Log \xC3\xBC.txt");  // "ü" in the name as well
    const std::string umlaut = "M\xC3\xBCller";
    auto w = fs.openForWriting(file, false);
    ASSERT_TRUE(w && w->writeLine(umlaut) && w->writeLine(""));
    w->close();
    EXPECT_FALSE(w->writeLine("after close"));
    EXPECT_TRUE(fs.fileExists(file));
    auto a = fs.openForWriting(file, true);
    ASSERT_TRUE(a && a->writeLine("two\r\nlines"));
    a.reset();
    const std::string ansi = toAnsi(umlaut);
    if (GetACP() == 1252) {
        EXPECT_EQ(ansi, "M\xFCller");
    }
    EXPECT_EQ(bytes(file), ansi + "\r\n\r\ntwo\r\nlines\r\n");

    EXPECT_EQ(lines(file), (std::vector<std::string>{umlaut, "", "two", "lines"}));
    // Lines of other programs: LF ends, a last line without its end.
    std::ofstream(toWide(file).c_str(), std::ios::binary) << "one\ntwo\r\n\r\nthree\r";
    EXPECT_EQ(lines(file), (std::vector<std::string>{"one", "two", "", "three"}));

    // Writing again empties the file.
    ASSERT_TRUE(fs.openForWriting(file, false));
    std::uint64_t length = 99;
    EXPECT_TRUE(fs.fileLength(file, length) && length == 0u) << length;
}

TEST_F(Win32Files, MissingFilesAndFoldersAreRefusedAppendCreates) {
    const std::string missing = path("missing.txt");
    EXPECT_FALSE(fs.fileExists(missing));
    EXPECT_FALSE(fs.openForReading(missing));
    EXPECT_FALSE(fs.openForWriting(fs.join(dir, "no-such-folder\\x.txt"), false));
    EXPECT_FALSE(fs.openForWriting(fs.join(dir, "no-such-folder\\x.txt"), true));
    // A folder is not a file.
    EXPECT_FALSE(fs.fileExists(dir));
    EXPECT_FALSE(fs.openForReading(dir));
    EXPECT_FALSE(fs.openForWriting(dir, false));
    EXPECT_FALSE(fs.openForWriting(dir, true));
    // Appending creates a missing file and never empties an existing one.
    ASSERT_TRUE(fs.openForWriting(missing, true)->writeLine("kept"));
    ASSERT_TRUE(fs.openForWriting(missing, true)->writeLine("added"));
    EXPECT_EQ(bytes(missing), "kept\r\nadded\r\n");
    EXPECT_TRUE(fs.deleteFile(missing));
    std::uint64_t length = 0;
    EXPECT_FALSE(fs.fileLength(dir, length));
    EXPECT_FALSE(fs.deleteFile(missing));
    EXPECT_FALSE(fs.copyFile(missing, path("copy.txt")));
}

TEST_F(Win32Files, CopyOverwritesDeleteRemovesLengthCounts) {
    const std::string from = path("from.txt"), to = path("to.txt");
    ASSERT_TRUE(fs.openForWriting(from, false)->writeLine("12345"));
    ASSERT_TRUE(fs.openForWriting(to, false)->writeLine("a much longer line than the other"));
    ASSERT_TRUE(fs.copyFile(from, to));
    std::uint64_t length = 0;
    EXPECT_TRUE(fs.fileLength(to, length) && length == 7u) << length;
    EXPECT_EQ(bytes(to), "12345\r\n");
    EXPECT_TRUE(fs.deleteFile(to));
    EXPECT_FALSE(fs.fileExists(to));
    EXPECT_TRUE(fs.fileExists(from));
}

TEST_F(Win32Files, VersionOfASystemLibraryAndNoneForAPlainFile) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    std::string kernel = fromWide(system, wcslen(system)) + "\\kernel32.dll";
    std::string version;
    ASSERT_TRUE(fs.fileVersion(kernel, version));
    EXPECT_TRUE(std::regex_match(version, std::regex("([5-9]|[1-9][0-9])(\\.(0|[1-9][0-9]*)){3}"))) << version;

    const std::string plain = path("plain.txt");
    ASSERT_TRUE(fs.openForWriting(plain, false));
    version = "unset";
    EXPECT_FALSE(fs.fileVersion(plain, version));
    EXPECT_FALSE(fs.fileVersion(path("missing.dll"), version));
    EXPECT_EQ(version, "unset");
}

TEST_F(Win32Files, CreationTimeIsLocalTimeOfANewFile) {
    const std::string file = path("new.txt");
    SYSTEMTIME before{};
    GetLocalTime(&before);
    ASSERT_TRUE(fs.openForWriting(file, false));
    qv::DateTime created;
    ASSERT_TRUE(fs.fileCreated(file, created));
    SYSTEMTIME after{};
    GetLocalTime(&after);
    auto seconds = [](int y, int mo, int d, int h, int mi, int s) {
        return ((((static_cast<long long>(y) * 12 + mo) * 31 + d) * 24 + h) * 60 + mi) * 60 + s;
    };
    long long c = seconds(created.year, created.month, created.day, created.hour, created.minute, created.second);
    long long lo = seconds(before.wYear, before.wMonth, before.wDay, before.wHour, before.wMinute, before.wSecond);
    long long hi = seconds(after.wYear, after.wMonth, after.wDay, after.wHour, after.wMinute, after.wSecond);
    EXPECT_GE(c, lo - 2);
    EXPECT_LE(c, hi + 2);
    EXPECT_FALSE(fs.fileCreated(path("missing.txt"), created));
}

TEST_F(Win32Files, CurrentDirectoryAndJoin) {
    const std::string before = fs.currentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(fs.setCurrentDirectory(dir));
    EXPECT_EQ(fs.currentDirectory(), dir);
    ASSERT_TRUE(fs.openForWriting("relative.txt", false));
    made.push_back(fs.join(dir, "relative.txt"));
    EXPECT_TRUE(fs.fileExists(made.back()));
    EXPECT_FALSE(fs.setCurrentDirectory(fs.join(dir, "no-such-folder")));
    EXPECT_EQ(fs.currentDirectory(), dir);
    ASSERT_TRUE(fs.setCurrentDirectory(before));

    EXPECT_EQ(fs.join("C:\\users\\me\\Documents", "QV.log"), "C:\\users\\me\\Documents\\QV.log");
    EXPECT_EQ(fs.join("C:\\", "QV.log"), "C:\\QV.log");
}
