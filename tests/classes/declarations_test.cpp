// The class and table declarations: every column and report line reads a property its table's
// classes declare, and a property is spelled in few source files besides its declaration.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "classes/declarations.h"
#include "platform/text.h"

namespace {

using namespace qv::classes;

bool declaredBy(const TableDecl& t, const char* property) {
    return std::any_of(t.classes.begin(), t.classes.end(),
                       [&](const ClassDecl* c) { return findProperty(*c, property) != nullptr; });
}

TEST(Declarations, ColumnsAndReportLinesReadTheirTablesClasses) {
    std::vector<std::string> found;
    std::set<std::string> classNames;
    for (const ClassDecl* c : classList()) {
        if (!classNames.insert(qv::text::asciiLower(c->name)).second) found.push_back(std::string("twice: ") + c->name);
        EXPECT_EQ(findClass(qv::text::asciiUpper(c->name)), c) << c->name;
        std::set<std::string> names;
        for (const Property& p : c->properties)
            if (!names.insert(qv::text::asciiLower(p.name)).second) found.push_back(std::string(c->name) + "." + p.name + " twice");
    }
    for (const TableDecl& t : tableList()) {
        EXPECT_EQ(findTable(t.name), &t) << t.name;
        for (const ClassDecl* c : t.classes) EXPECT_EQ(findClass(c->name), c) << t.name << ": " << c->name;
        // The registry's tables read values, not properties.
        for (const Column& c : t.columns)
            if (c.property && !t.classes.empty() && !declaredBy(t, c.property))
                found.push_back(std::string(t.name) + "." + c.name + ": " + c.property);
        for (const ReportLine& line : t.report)
            if (line.property && !declaredBy(t, line.property))
                found.push_back(std::string(t.name) + " report " + line.label + ": " + line.property);
    }
    EXPECT_EQ(found, std::vector<std::string>{});
}

// The properties still spelled in more than three source files, each with why.
const std::map<std::string, const char*> kKnownSpread = {
    {"IdentifyingNumber", "qvdb's GLPI export, machine identity and site read the column of that name"},
    {"IPAddress", "qvdb's GLPI export, history and site read the column of that name"},
    {"FreeSpace", "qvdb's GLPI export, size display and site read the column of that name"},
    {"MaxClockSpeed", "qvdb's GLPI export, history and site read the column of that name"},
    {"IPSubnet", "qvdb's GLPI export and history read the column of that name"},
    {"FileSystem", "qvdb's GLPI export, history and site read the column of that name"},
    {"DefaultIPGateway", "qvdb's GLPI export and history read the column of that name"},
    {"Capacity", "qvdb's GLPI export, history and size display read the column of that name"},
    {"CSDVersion", "qvdb's GLPI export and history read the column of that name"},
    {"AdapterRAM", "qvdb's GLPI export and size display read the column of that name"},
    {"ProcessorId", "qvdb's GLPI export reads the column of that name"},
    {"PortType", "qvdb's GLPI export reads the column of that name"},
    {"PointingType", "qvdb's GLPI export names the pointing type"},
    {"BankLabel", "qvdb's GLPI export and history read the column of that name"},
    {"InstallDate", "also the registry's uninstall value of that name, and qvdb's GLPI export"},
    {"DisplayName", "also the registry's uninstall value of that name"},
    {"DNSDomain", "also a member of the fixture's computer documents"},
    {"DHCPServer", "also the name of the DHCP service the network collector picks out, and qvdb's GLPI export"},
};

// The properties counted: those one class alone declares, of 8 characters or more. A name
// several classes share (Name, Description, DeviceID, Manufacturer) or a short one (Path, Type,
// Size) is a common word the program spells for other things as well.
std::set<std::string> countedProperties() {
    std::map<std::string, std::set<std::string>> classesOf;
    std::map<std::string, std::string> spelling;
    for (const ClassDecl* c : classList())
        for (const Property& p : c->properties) {
            classesOf[qv::text::asciiLower(p.name)].insert(c->name);
            spelling.emplace(qv::text::asciiLower(p.name), p.name);
        }
    std::set<std::string> counted;
    for (const auto& [lower, owners] : classesOf)
        if (owners.size() == 1 && lower.size() >= 8) counted.insert(spelling[lower]);
    return counted;
}

TEST(Declarations, EachPropertyIsSpelledInAtMostThreeSourceFiles) {
    namespace fs = std::filesystem;
    const fs::path root = QV_SOURCE_DIR;
    // The program's sources: every folder but the tests, benchmarks, documents and build folders.
    std::map<std::string, std::string> sources;  // path, lower-case text
    for (const auto& top : fs::directory_iterator(root)) {
        const std::string name = top.path().filename().string();
        if (!top.is_directory() || name == "tests" || name == "bench" || name == "doc" || name.starts_with("build") ||
            name.starts_with("."))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(top.path())) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".h" && ext != ".cpp") continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            sources[fs::relative(entry.path(), root).string()] = qv::text::asciiLower(text.str());
        }
    }
    ASSERT_GT(sources.count("classes/declarations.cpp"), 0u);

    std::vector<std::string> offenders, stale;
    const std::set<std::string> counted = countedProperties();
    ASSERT_GT(counted.size(), 50u);
    for (const std::string& property : counted) {
        const std::string quoted = "\"" + qv::text::asciiLower(property) + "\"";
        std::vector<std::string> files;
        for (const auto& [path, text] : sources)
            if (text.find(quoted) != std::string::npos) files.push_back(path);
        const bool known = kKnownSpread.count(property) > 0;
        if (files.size() > 3 && !known) {
            std::string line = property + ":";
            for (const std::string& f : files) line += " " + f;
            offenders.push_back(line);
        }
        if (files.size() <= 3 && known) stale.push_back(property + " is now in " + std::to_string(files.size()) + " files");
    }
    EXPECT_EQ(offenders, std::vector<std::string>{});
    EXPECT_EQ(stale, std::vector<std::string>{}) << "take it off the known list";
    for (const auto& [property, why] : kKnownSpread) EXPECT_TRUE(counted.count(property)) << property << " is not counted";
}

}  // namespace
