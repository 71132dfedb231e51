#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/log.h"
#include "definition_testing.h"
#include "defs/definition_node.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using kve::test::countOccurrences;
using kve::test::readFile;
using kve::test::TempDir;
using kve::test::writeFile;

constexpr const char* kLog = "defs_files_log.html";

// Names of the Texture blocks handed to the loader, in order.
std::string loadedTextures;

void* recordTexture(int, DefinitionNode* node, const char* name)
{
    loadedTextures += std::string(name) + " ";
    return node;
}

// Every path in its '\' spelling, as files written on other systems name them.
std::string backslashed(const fs::path& path)
{
    std::string text = path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

class FilesTest : public kve::test::DefinitionTest {
protected:
    void SetUp() override
    {
        kve::log::resetForTesting();
        ASSERT_EQ(KVE_OpenLogFile(kLog, 1, 1), 1);
        KVE_SetLogColumns(KVE_LOG_UNIT | KVE_LOG_PROCEDURE);
        loadedTextures.clear();
        kve::defs::definitionLoaders().texture = &recordTexture;
    }
    void TearDown() override
    {
        kve::defs::definitionLoaders() = {};
        kve::log::resetForTesting();
        kve::test::DefinitionTest::TearDown();
    }
    // One file per texture name, each holding that Texture block.
    static void writeTexture(const fs::path& path, const std::string& name)
    {
        fs::create_directories(path.parent_path());
        writeFile(path, "Texture: " + name + " { File: " + name + ".png; }\r\n");
    }
};

TEST_F(FilesTest, ReadingAFileMakesItTheCurrentDefinition)
{
    TempDir dir("defs_read");
    fs::create_directories(dir / "sub");
    writeFile(dir / "sub/one.kvd", std::string("A: 1;\0B: 2;", 11));
    const std::string path = "tmp_defs_read\\sub\\one.kvd";

    DefinitionNode* root = KVE_ReadDefinitionFile(path.c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(kve::test::dumpChildren(root), "A:1") << "a NUL byte ends the text";
    EXPECT_STREQ(KVE_GetDefinitionDirectory(root->children[0]), "tmp_defs_read\\sub\\");
    const auto& current = kve::defs::currentDefinition();
    EXPECT_EQ(current.root, root);
    EXPECT_EQ(current.file, "one.kvd");
    EXPECT_EQ(current.directory, "tmp_defs_read\\sub\\");

    EXPECT_EQ(KVE_ReadDefinitionFile("tmp_defs_read/sub/missing.kvd"), nullptr);
    EXPECT_EQ(KVE_ReadDefinitionFile("tmp_defs_read/sub"), nullptr) << "a directory is no file";
    EXPECT_EQ(KVE_ReadDefinitionFile(nullptr), nullptr);
    EXPECT_EQ(current.root, root) << "a failed read leaves the current definition";

    // Freeing the current tree by another route must not leave a dangling current root.
    KVE_FreeDefinition(root->children[0], 1);
    EXPECT_EQ(current.root, nullptr);
    EXPECT_EQ(current.file, "one.kvd");
    KVE_FreeCurrentDefinition();
    EXPECT_EQ(current.file, "");

    ASSERT_NE(KVE_ReadDefinitionFile((dir / "sub/one.kvd").c_str()), nullptr);
    KVE_FreeCurrentDefinition();
    EXPECT_EQ(kve::defs::definitionTreeCount(), 0u);
    EXPECT_EQ(current.root, nullptr);
    EXPECT_EQ(readFile(kLog), "") << "reading logs nothing";
}

TEST_F(FilesTest, PatternEntersOnlyMatchingDirectoriesAndWalksThemWhole)
{
    TempDir dir("defs_batch");
    writeTexture(dir / "a.kvd", "A");
    writeTexture(dir / "b.txt", "B");
    writeTexture(dir / "sub.kvd/c.txt", "C");
    writeTexture(dir / "sub.kvd/deeper/d.bin", "D");
    writeTexture(dir / "other/e.kvd", "E");
    writeTexture(dir / "star*.kvd", "S");
    // A link back to the top directory inside a walked one is not followed round again.
    fs::create_directory_symlink(fs::absolute(dir.path()), dir / "sub.kvd/loop.kvd");

    KVE_ParseDefinitionFiles(backslashed(dir / "*.kvd").c_str(), KVE_DEFINITION_ALL);
    EXPECT_EQ(loadedTextures, "A S C D ") << "a '*' in an entry's own name is no pattern";
    const std::string log = readFile(kLog);
    EXPECT_EQ(countOccurrences(log, "Parse DefinitionFile: "), 4);
    EXPECT_NE(log.find("<tr><td>\x95</td><td>KVE Definition</td><td>KVE_ParseDefinitionFiles</td>"
                       "<td colspan=2><i style='color:#404040;'>Parse DefinitionFile: " +
                       backslashed(dir.path()) + "\\a.kvd</i></td></tr>"),
              std::string::npos)
        << log;
    // One break per call: the top directory, a.kvd, star*.kvd, sub.kvd, c.txt, deeper,
    // d.bin and the link that was not entered again.
    EXPECT_EQ(countOccurrences(log, "<br>"), 8);
    EXPECT_EQ(kve::defs::definitionTreeCount(), 4u) << "the batch parser keeps its trees";

    loadedTextures.clear();
    KVE_ParseDefinitionFiles((dir.path().string() + "//").c_str(), KVE_DEFINITION_ALL);
    EXPECT_EQ(loadedTextures, "A B E S C D ") << "a directory alone is walked whole, in name order";

    loadedTextures.clear();
    KVE_ParseDefinitionFiles((dir / "sub.kvd/c.txt").c_str(), KVE_DEFINITION_MATERIAL);
    EXPECT_EQ(loadedTextures, "") << "the Texture bit is not set";
    KVE_ParseDefinitionFiles((dir / "?.kvd").c_str(), KVE_DEFINITION_TEXTURE);
    EXPECT_EQ(loadedTextures, "") << "a pattern needs a '*'";
    KVE_ParseDefinitionFiles((dir / "*.k?d").c_str(), KVE_DEFINITION_TEXTURE);
    EXPECT_EQ(loadedTextures, "A S C D ");
}

TEST_F(FilesTest, MissingFileIsLoggedAndLoadsNothing)
{
    KVE_ParseDefinitionFiles("tmp_nowhere/missing.kvd", KVE_DEFINITION_ALL);
    KVE_ParseDefinitionFiles(nullptr, KVE_DEFINITION_ALL);
    const std::string log = readFile(kLog);
    EXPECT_NE(log.find("Parse DefinitionFile: tmp_nowhere/missing.kvd</i></td></tr>"), std::string::npos);
    // The loader's wording, then the file and the reason, both red.
    EXPECT_NE(log.find("color:#FF0000;'>Fail: File not found!</i>"), std::string::npos) << log;
    EXPECT_NE(log.find("color:#FF0000;'>Fail: tmp_nowhere/missing.kvd: no such file</i></td></tr><br>"),
              std::string::npos)
        << log;
    EXPECT_EQ(countOccurrences(log, "<tr>"), 3);
    EXPECT_EQ(loadedTextures, "");
    EXPECT_EQ(kve::defs::definitionTreeCount(), 0u);
}

// A file cut inside a block still hands over what it holds: an orange warning names the
// cut, and no red entry says the load failed.
TEST_F(FilesTest, FileCutInsideABlockLoadsWithAWarning)
{
    TempDir dir("cut_definitions");
    writeFile(dir / "cut.kvd", "Texture: A { File: a.png; }\r\nTexture: B {\r\n  File: b.png;\r\n");
    const std::string path = (dir / "cut.kvd").string();
    KVE_ParseDefinitionFiles(path.c_str(), KVE_DEFINITION_ALL);
    const std::string log = readFile(kLog);
    EXPECT_EQ(loadedTextures, "A B ");
    EXPECT_NE(log.find("color:#FF8000;'>Warning: " + path + ": the text ends inside a block, cut short</i>"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("#FF0000"), std::string::npos) << log;
}

// Reads whatever the file makes of it through every reader.
void readEverything(DefinitionNode* root)
{
    std::vector<DefinitionNode*> open{root};
    while (!open.empty()) {
        DefinitionNode* node = open.back();
        open.pop_back();
        KVE_Vector v{};
        float range[2] = {};
        float color[4] = {};
        KVE_GetDefinitionVector(node, &v, 0, 0, 0);
        KVE_GetDefinitionRange(node, range, 0, KVE_DEFAULT_FLOAT);
        KVE_GetDefinitionColor(node, color, -1);
        KVE_GetDefinitionInteger(node, 0);
        KVE_GetDefinitionFloat(node, 0);
        for (DefinitionNode* child : node->childNodes())
            open.push_back(child);
    }
    KVE_FindDefinitionNode(root, "Texture\\File", "", 1);
    KVE_FindDefinitionNode(root, "\\a\\b", "x", 0);
    KVE_LoadDefinitionNode(root, KVE_DEFINITION_ALL);
}

TEST_F(FilesTest, HostileFilesFailCleanly)
{
    TempDir dir("defs_hostile");

    // A 50 MB value followed by an ordinary entry.
    const size_t big = size_t{50} << 20;
    writeFile(dir / "big.kvd", "Big: " + std::string(big, 'x') + ";\nAfter: 1;\n");
    DefinitionNode* root = KVE_ReadDefinitionFile((dir / "big.kvd").c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::string_view(KVE_GetDefinitionString(KVE_FindDefinitionNode(root, "\\Big", "", 0), "")).size(), big);
    EXPECT_EQ(KVE_GetDefinitionInteger(KVE_FindDefinitionNode(root, "\\After", "", 0), 0), 1);
    KVE_FreeDefinition(root, 1);

    // Random bytes, the syntax bytes made frequent.
    std::mt19937 random(1234);
    std::string noise(1 << 20, '\0');
    const std::string syntax = "/*':,;\n{}\r \t$%.-";
    for (char& c : noise) {
        const auto r = random();
        c = (r & 1) ? syntax[(r >> 1) % syntax.size()] : static_cast<char>((r >> 8) % 255 + 1);
    }
    writeFile(dir / "noise.kvd", noise);
    root = KVE_ReadDefinitionFile((dir / "noise.kvd").c_str());
    ASSERT_NE(root, nullptr);
    readEverything(root);
    EXPECT_GT(KVE_CountDefinitionChildren(root, ""), 0);

    // A device that never ends reads up to its first NUL.
    root = KVE_ReadDefinitionFile("/dev/zero");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->childCount, 0u);

    kve::defs::freeAllDefinitions();
    EXPECT_EQ(kve::test::parsed("Still: working;"), "Still:working");
}

} // namespace
