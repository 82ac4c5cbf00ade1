// Fails when a file of src/ or apps/ includes a header of a layer above its own, or one of no
// layer at all; prints each offending include with its file and line.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "LayerIncludes.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROJECT_ROOT LAYER_TABLE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[2]);
    if (!in) {
        std::fprintf(stderr, "cannot read the layer table %s\n", argv[2]);
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const kvlayers::LayerTable table = kvlayers::ParseLayerTable(text.str());
    if (table.empty()) {
        std::fprintf(stderr, "the layer table %s names no folder\n", argv[2]);
        return 2;
    }
    const kvlayers::CheckResult result = kvlayers::CheckIncludes(argv[1], table);
    for (const auto& v : result.violations) {
        std::printf("%s\n", kvlayers::Describe(v).c_str());
    }
    std::printf(
        "%d files in %zu folders, %d includes of the tree checked: %zu against the layer "
        "order\n",
        result.files, table.size(), result.includes, result.violations.size());
    return result.violations.empty() ? 0 : 1;
}
