// The firmware's include structure: a module is a .h/.cpp pair under
// firmware/<folder>/, the folders are layers in a fixed order, and a module
// includes modules of its own folder or of folders below it only. Upper
// layers reach lower ones directly; lower ones reach upper layers only
// through hooks that the top layer (app) wires.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Graph = std::map<std::string, std::set<std::string>>;  // module -> modules it includes

std::string Folder(const std::string& sModule) { return sModule.substr(0, sModule.find('/')); }

// Module "folder/name" of every .h and .cpp under root, with the quoted
// includes that name another module of the tree.
Graph ReadIncludes(const fs::path& root)
{
    Graph graph;
    const std::regex include(R"(^\s*#\s*include\s+"([^"]+)\")");
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        fs::path path = entry.path();
        if (path.extension() != ".h" && path.extension() != ".cpp")
            continue;
        std::string sModule = fs::relative(path, root).replace_extension().generic_string();
        graph[sModule];
        std::ifstream in(path);
        std::string sLine;
        std::smatch match;
        while (std::getline(in, sLine)) {
            if (!std::regex_search(sLine, match, include))
                continue;
            fs::path target = fs::path(match[1].str()).replace_extension();
            if (fs::exists(root / (target.generic_string() + ".h")) ||
                fs::exists(root / (target.generic_string() + ".cpp"))) {
                if (target.generic_string() != sModule)
                    graph[sModule].insert(target.generic_string());
            }
        }
    }
    return graph;
}

// Strongly connected components (Tarjan) of size two or more whose modules
// lie in more than one folder; each is returned sorted.
std::vector<std::vector<std::string>> CrossFolderCycles(const Graph& graph)
{
    std::map<std::string, int> index, low;
    std::set<std::string> onStack;
    std::vector<std::string> stack;
    std::vector<std::vector<std::string>> result;
    int nNext = 0;
    std::function<void(const std::string&)> visit = [&](const std::string& v) {
        index[v] = low[v] = nNext++;
        stack.push_back(v);
        onStack.insert(v);
        auto it = graph.find(v);
        if (it != graph.end()) {
            for (const std::string& w : it->second) {
                if (!index.count(w)) {
                    visit(w);
                    low[v] = std::min(low[v], low[w]);
                } else if (onStack.count(w)) {
                    low[v] = std::min(low[v], index[w]);
                }
            }
        }
        if (low[v] != index[v])
            return;
        std::vector<std::string> component;
        std::string w;
        do {
            w = stack.back();
            stack.pop_back();
            onStack.erase(w);
            component.push_back(w);
        } while (w != v);
        std::set<std::string> folders;
        for (const std::string& m : component)
            folders.insert(Folder(m));
        if (folders.size() > 1) {
            std::sort(component.begin(), component.end());
            result.push_back(component);
        }
    };
    for (const auto& [sModule, _] : graph)
        if (!index.count(sModule))
            visit(sModule);
    return result;
}

// The layers from the bottom up.
const std::vector<std::string> kLayers = {"core", "storage", "display", "measure", "comms", "ui", "app"};

// Every include that reaches a folder above the includer's, or a folder that
// is no layer, as "module -> target".
std::vector<std::string> UpwardIncludes(const Graph& graph, const std::vector<std::string>& layers)
{
    auto rank = [&layers](const std::string& sModule) {
        auto it = std::find(layers.begin(), layers.end(), Folder(sModule));
        return it == layers.end() ? -1 : static_cast<int>(it - layers.begin());
    };
    std::vector<std::string> result;
    for (const auto& [sModule, targets] : graph) {
        for (const std::string& sTarget : targets) {
            int nFrom = rank(sModule), nTo = rank(sTarget);
            if (nFrom < 0 || nTo < 0 || nTo > nFrom)
                result.push_back(sModule + " -> " + sTarget);
        }
    }
    return result;
}

std::string Describe(const std::vector<std::vector<std::string>>& cycles, const Graph& graph)
{
    std::string s;
    for (const std::vector<std::string>& component : cycles) {
        s += "cycle:\n";
        for (const std::string& m : component) {
            s += "  " + m + " ->";
            for (const std::string& t : graph.at(m))
                if (std::find(component.begin(), component.end(), t) != component.end())
                    s += " " + t;
            s += "\n";
        }
    }
    return s;
}

}  // namespace

TEST(FirmwareIncludes, NoCycleCrossesAFolder)
{
    Graph graph = ReadIncludes(fs::path(HALDEN_SOURCE_DIR) / "firmware");
    ASSERT_GT(graph.size(), 40u) << "the firmware sources were not found";
    ASSERT_TRUE(graph.at("ui/ui").count("display/script")) << "includes were not read";
    auto cycles = CrossFolderCycles(graph);
    EXPECT_TRUE(cycles.empty()) << Describe(cycles, graph);
}

TEST(FirmwareIncludes, EveryIncludeKeepsTheLayerOrder)
{
    Graph graph = ReadIncludes(fs::path(HALDEN_SOURCE_DIR) / "firmware");
    ASSERT_TRUE(graph.count("app/app")) << "the firmware sources were not found";
    std::set<std::string> folders;
    for (const auto& [sModule, _] : graph)
        folders.insert(Folder(sModule));
    EXPECT_EQ(folders, std::set<std::string>(kLayers.begin(), kLayers.end()));
    std::vector<std::string> upward = UpwardIncludes(graph, kLayers);
    std::string sList;
    for (const std::string& s : upward)
        sList += "  " + s + "\n";
    EXPECT_TRUE(upward.empty()) << "includes against the layer order:\n" << sList;
}

TEST(FirmwareIncludes, OrderCheckerFindsUpwardAndUnknownIncludes)
{
    const std::vector<std::string> layers = {"core", "display", "ui"};
    struct Case {
        const char* pszName;
        Graph graph;
        std::vector<std::string> expected;
    } kCases[] = {
        {"downward and within", {{"ui/a", {"display/b", "ui/c"}}, {"display/b", {"core/d"}}}, {}},
        {"one upward", {{"core/t", {"display/l"}}, {"display/l", {}}}, {"core/t -> display/l"}},
        {"skipping a layer upward", {{"core/t", {"ui/u"}}}, {"core/t -> ui/u"}},
        {"unknown folder", {{"ui/a", {"extra/x"}}}, {"ui/a -> extra/x"}},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(UpwardIncludes(c.graph, layers), c.expected) << c.pszName;
}

// The checker on small graphs: cycles inside one folder are a module's own
// business; one that passes through a second folder is reported whole.
TEST(FirmwareIncludes, CheckerFindsCrossFolderCycles)
{
    struct Case {
        const char* pszName;
        Graph graph;
        std::vector<std::vector<std::string>> expected;
    } kCases[] = {
        {"layered", {{"ui/a", {"comms/b"}}, {"comms/b", {"core/c"}}, {"core/c", {}}}, {}},
        {"same folder", {{"measure/a", {"measure/b"}}, {"measure/b", {"measure/a"}}}, {}},
        {"two folders",
         {{"measure/a", {"comms/b"}}, {"comms/b", {"measure/a"}}},
         {{"comms/b", "measure/a"}}},
        {"through three",
         {{"core/t", {"comms/x"}}, {"comms/x", {"measure/r"}}, {"measure/r", {"core/t"}}, {"ui/u", {"core/t"}}},
         {{"comms/x", "core/t", "measure/r"}}},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(CrossFolderCycles(c.graph), c.expected) << c.pszName;
}
