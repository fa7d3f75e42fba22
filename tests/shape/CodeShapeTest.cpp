// The shape of the source tree: the folders of src/ include each other in one
// direction only, no file reaches itself through its includes, no file grows
// past 600 lines and no comment numbers steps of a document that is not here.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using SourceTree = std::map<std::string, std::string>;  // path from the checkout -> text
using Graph = std::map<std::string, std::set<std::string>>;

SourceTree readTree(const std::vector<std::string>& folders) {
    SourceTree tree;
    const fs::path root = TARVEX_SOURCE_DIR;
    for (const std::string& folder : folders) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            tree[fs::relative(entry.path(), root).generic_string()] = text.str();
        }
    }
    return tree;
}

std::string folderOf(const std::string& path) {
    const fs::path inside = fs::path(path).lexically_relative("src");
    return inside.begin()->string();
}

std::string unitOf(const std::string& path) { return fs::path(path).replace_extension().generic_string(); }

// The files a file includes with quotes, found beside it or under src/.
std::vector<std::string> includedFiles(const SourceTree& tree, const std::string& path) {
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::vector<std::string> found;
    std::istringstream lines(tree.at(path));
    std::string line;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (!std::regex_search(line, match, include)) continue;
        for (const fs::path& candidate : {fs::path(path).parent_path() / match[1].str(), fs::path("src") / match[1].str()}) {
            const std::string key = candidate.lexically_normal().generic_string();
            if (tree.count(key)) {
                found.push_back(key);
                break;
            }
        }
    }
    return found;
}

// One cycle of the graph as "a -> b -> a", or "" when there is none.
std::string cycleIn(const Graph& graph) {
    std::map<std::string, int> state;  // 1: on the current path, 2: done
    std::vector<std::string> path;
    std::string cycle;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        if (auto edges = graph.find(node); edges != graph.end()) {
            for (const std::string& next : edges->second) {
                if (state[next] == 1) {
                    auto from = std::find(path.begin(), path.end(), next);
                    for (auto it = from; it != path.end(); ++it) cycle += *it + " -> ";
                    cycle += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) return true;
            }
        }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, edges] : graph) {
        if (state[node] == 0 && visit(node)) return cycle;
    }
    return "";
}

// An arrow from each file's node to the node of each file it includes, where
// the two differ.
Graph includeGraph(const SourceTree& tree, std::string (*nodeOf)(const std::string&)) {
    Graph graph;
    for (const auto& [path, text] : tree) {
        for (const std::string& included : includedFiles(tree, path)) {
            if (nodeOf(included) != nodeOf(path)) graph[nodeOf(path)].insert(nodeOf(included));
        }
    }
    return graph;
}

// Between folders of src/.
Graph folderGraph(const SourceTree& tree) { return includeGraph(tree, folderOf); }

// Between files, a header and its source counting as one: X.cpp including
// Y.h while Y.cpp includes X.h is a loop, though neither header includes the
// other.
Graph unitGraph(const SourceTree& tree) { return includeGraph(tree, unitOf); }

bool numbersSteps(const std::string& line) {
    static const std::regex numbered(R"(^\s*//\s*(steps?\s*)?\d+[a-z]?(\s*[-,]\s*\d+[a-z]?)*\s*:)");
    return std::regex_search(line, numbered);
}

TEST(CodeShapeTest, FoldersOfSrcIncludeEachOtherInOneDirection) {
    EXPECT_EQ(cycleIn(folderGraph(readTree({"src"}))), "");
}

TEST(CodeShapeTest, NoFileReachesItselfThroughItsIncludes) {
    EXPECT_EQ(cycleIn(unitGraph(readTree({"src", "tools"}))), "");
}

TEST(CodeShapeTest, NoFileOfSrcOrToolsIsOverSixHundredLines) {
    for (const auto& [path, text] : readTree({"src", "tools"})) {
        EXPECT_LE(std::count(text.begin(), text.end(), '\n'), 600) << path;
    }
}

TEST(CodeShapeTest, NoCommentNumbersSteps) {
    for (const auto& [path, text] : readTree({"src", "tools", "tests", "bench", "fuzz"})) {
        std::istringstream lines(text);
        std::string line;
        for (int number = 1; std::getline(lines, line); ++number) {
            EXPECT_FALSE(numbersSteps(line)) << path << ":" << number << ": " << line;
        }
    }
}

// The checks themselves, on small made-up trees and lines.
TEST(CodeShapeTest, ChecksFindTheLoopsAndCommentsTheyLookFor) {
    const SourceTree loopingFolders = {{"src/a/A.h", "#include \"b/B.h\"\n"},
                                       {"src/b/B.cpp", "#include \"a/A.h\"\n"},
                                       {"src/b/B.h", ""}};
    EXPECT_EQ(cycleIn(folderGraph(loopingFolders)), "a -> b -> a");

    const SourceTree loopingUnits = {{"src/a/X.h", ""},
                                     {"src/a/X.cpp", "#include \"a/X.h\"\n#include \"Y.h\"\n"},
                                     {"src/a/Y.h", ""},
                                     {"src/a/Y.cpp", "  #  include \"a/X.h\"\n"}};
    EXPECT_EQ(cycleIn(unitGraph(loopingUnits)), "src/a/X -> src/a/Y -> src/a/X");
    EXPECT_EQ(cycleIn(folderGraph(loopingUnits)), "");

    const SourceTree layered = {{"src/a/A.h", ""}, {"src/b/B.cpp", "#include \"a/A.h\"\n#include <a/A.h>\n"}};
    EXPECT_EQ(cycleIn(folderGraph(layered)), "");

    for (const char* line : {"// 13-15: open the files", "    // 8-9: read", "// 2a, 3: both"}) {
        EXPECT_TRUE(numbersSteps(line)) << line;
    }
    for (const char* line : {"// 100 ms between reads", "// T, R and S: at rest", "// 1 = vacuum chamber", "int tilt;  // 1: turns with T", "x = a ? 1 : 2;"}) {
        EXPECT_FALSE(numbersSteps(line)) << line;
    }
}

}  // namespace
