#include "LayerIncludes.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace kvlayers {

namespace {

std::vector<std::string> Words(std::istringstream& in) {
    std::vector<std::string> words;
    std::string w;
    while (in >> w) {
        words.push_back(w);
    }
    return words;
}

std::string Relative(const fs::path& root, const fs::path& p) {
    return fs::relative(p, root).generic_string();
}

// The deepest folder of the table that holds path (a folder relative to the root), or empty.
std::string OwningFolder(const LayerTable& table, const std::string& folder) {
    std::string best;
    for (const auto& [name, rule] : table) {
        const bool holds =
            folder == name ||
            (folder.size() > name.size() && folder.starts_with(name) && folder[name.size()] == '/');
        if (holds && name.size() > best.size()) {
            best = name;
        }
    }
    return best;
}

std::string Join(const std::set<std::string>& items) {
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : " ") + item;
    }
    return text;
}

bool IsSource(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".cc";
}

}  // namespace

LayerTable ParseLayerTable(const std::string& text) {
    LayerTable table;
    std::istringstream lines(text);
    std::string line;
    FolderRule* current = nullptr;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string key;
        in >> key;
        std::vector<std::string> words = Words(in);
        if (key == "folder" && words.size() == 1) {
            current = &table[words[0]];
        } else if (key == "allow" && current != nullptr) {
            current->allow.insert(words.begin(), words.end());
        } else if (key == "search" && current != nullptr) {
            for (const auto& w : words) {
                if (std::find(current->search.begin(), current->search.end(), w) ==
                    current->search.end()) {
                    current->search.push_back(w);
                }
            }
        }
    }
    return table;
}

CheckResult CheckIncludes(const fs::path& given, const LayerTable& table) {
    const fs::path root = fs::weakly_canonical(given);
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<fs::path> files;
    for (const char* top : {"src", "apps"}) {
        if (!fs::is_directory(root / top)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            if (entry.is_regular_file() && IsSource(entry.path())) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());

    CheckResult result;
    result.files = static_cast<int>(files.size());
    std::vector<Violation>& found = result.violations;
    for (const fs::path& file : files) {
        const std::string name = Relative(root, file);
        const std::string folder = Relative(root, file.parent_path());
        const std::string owner = OwningFolder(table, folder);
        if (owner.empty()) {
            found.push_back({name, 0, "", "belongs to no library, so its layer is unknown"});
            continue;
        }
        const FolderRule& rule = table.at(owner);
        std::ifstream in(file);
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            std::smatch m;
            if (!std::regex_search(line, m, include)) {
                continue;
            }
            const bool quoted = m[1] == "\"";
            const std::string header = m[2];
            // Where the compiler would find it: beside the file for a quoted include, then
            // along the search folders.
            std::vector<fs::path> candidates;
            if (quoted) {
                candidates.push_back(file.parent_path() / header);
            }
            for (const auto& dir : rule.search) {
                candidates.push_back(root / dir / header);
            }
            fs::path hit;
            for (const auto& c : candidates) {
                if (fs::is_regular_file(c)) {
                    hit = c;
                    break;
                }
            }
            if (hit.empty()) {
                if (quoted) {
                    found.push_back({name, number, header,
                                     "not found in the folders " + owner + " may include"});
                }
                continue;  // a system or library header
            }
            ++result.includes;
            const std::string target =
                OwningFolder(table, Relative(root, fs::weakly_canonical(hit).parent_path()));
            if (target != owner && !rule.allow.contains(target)) {
                found.push_back({name, number, header,
                                 (target.empty() ? Relative(root, hit) : target) +
                                     " is not below " + owner + " (it may include " +
                                     Join(rule.allow) + ")"});
            }
        }
    }
    return result;
}

std::string Describe(const Violation& v) {
    if (v.include.empty()) {
        return v.file + ": " + v.reason;
    }
    return v.file + ":" + std::to_string(v.line) + ": #include \"" + v.include + "\": " + v.reason;
}

}  // namespace kvlayers
