#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kvlayers {

// What the code of one folder may include: the folders it may reach, and the folders its
// compiler searches for quoted includes (besides the including file's own folder). Paths are
// relative to the project root, with '/' separators.
struct FolderRule {
    std::set<std::string> allow;
    std::vector<std::string> search;
};
using LayerTable = std::map<std::string, FolderRule>;

// Reads the table written at configure time: "folder F", then "allow A B ..." and
// "search S T ..." lines; a folder named again adds to what it had.
LayerTable ParseLayerTable(const std::string& text);

struct Violation {
    std::string file;  // relative to the project root
    int line = 0;
    std::string include;  // as written between the quotes or brackets
    std::string reason;
};

struct CheckResult {
    int files = 0;
    int includes = 0;  // of headers found in the tree
    std::vector<Violation> violations;
};

// Every #include of the C++ files under root/src and root/apps that reaches a folder the
// including folder may not use, or that names a quoted header found nowhere it may look (such
// as a test double, which lives under tests/).
CheckResult CheckIncludes(const std::filesystem::path& root, const LayerTable& table);

// "src/core/A.cpp:12: #include "console/B.h": reason".
std::string Describe(const Violation& v);

}  // namespace kvlayers
