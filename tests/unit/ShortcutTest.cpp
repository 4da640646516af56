// Shell link files in the real known folders, read back through the shell's own link object.
#include "mv.API.h"
#include "Driver.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mv;

namespace {

std::wstring KnownFolder(const KNOWNFOLDERID &id) {
    TCoTaskText path;
    if (FAILED(SHGetKnownFolderPath(id, 0, nullptr, path.Put()))) return std::wstring();
    return path.Get();
}

bool IsFile(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// COM for the test's thread, and the names a test adds to the known folders taken away again.
class ShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(sendTo_.empty()); }
    void TearDown() override {
        sendToBaseline_.RemoveAdded();
        parentBaseline_.RemoveAdded();
    }

    TComInit com_;
    const std::wstring sendTo_ = KnownFolder(FOLDERID_SendTo);
    const driver::TFolderBaseline sendToBaseline_{sendTo_};
    const driver::TFolderBaseline parentBaseline_{driver::ParentFolder(sendTo_)};
};

} // namespace

TEST_F(ShortcutTest, SendToLinkCarriesItsFourFields) {
    const std::string exe = WideToAnsi(driver::OwnFolder()) + "unit_tests.exe";
    const std::string folder = WideToAnsi(driver::OwnFolder());
    struct Case {
        std::string target, description, arguments, name;
        std::string path, workingDirectory;
    };
    const Case cases[] = {
        // The working directory is cut from the text as given, opening quote included.
        {"\"" + exe + "\"", "Folder Rename by Morvandel", "", "FrTest Tool", exe, "\"" + folder},
        {exe, "", "", "FrTest Plain", exe, folder},
        {exe, "Described", "-x \"two words\"", "FrTest Args", exe, folder},
        {"C:\\Missing Tools\\tool.exe", "d", "a", "FrTest.Dotted name",
         "C:\\Missing Tools\\tool.exe", "C:\\Missing Tools\\"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring linkPath = L"old";
        ASSERT_TRUE(MakeShortcut(c.target, c.description, c.arguments, c.name, "", LinkSendTo, true,
                                 linkPath));
        EXPECT_EQ(linkPath, sendTo_ + L"\\" + AnsiToWide(c.name) + L".lnk");
        ASSERT_TRUE(IsFile(linkPath));
        driver::TLinkFields fields;
        ASSERT_TRUE(driver::ReadLink(linkPath, fields));
        EXPECT_EQ(WideToAnsi(fields.path), c.path);
        EXPECT_EQ(WideToAnsi(fields.description), c.description);
        EXPECT_EQ(WideToAnsi(fields.arguments), c.arguments);
        EXPECT_EQ(WideToAnsi(fields.workingDirectory), c.workingDirectory);

        // The delete mode removes the same file and still reports false.
        std::wstring deletedPath = L"old";
        EXPECT_FALSE(MakeShortcut(c.target, c.description, c.arguments, c.name, "", LinkSendTo,
                                  false, deletedPath));
        EXPECT_TRUE(deletedPath.empty());
        EXPECT_FALSE(IsFile(linkPath));
    }
    EXPECT_TRUE(sendToBaseline_.Added().empty());
}

TEST_F(ShortcutTest, ProgramsSubFolderIsMadeAndRemovedWhenEmpty) {
    const std::wstring programs = KnownFolder(FOLDERID_Programs);
    ASSERT_FALSE(programs.empty());
    const std::wstring folder = programs + L"\\FrTest Tools";
    const std::wstring link = folder + L"\\Tool.lnk";
    driver::RemoveTree(folder);

    std::wstring linkPath;
    ASSERT_TRUE(
        MakeShortcut("C:\\t.exe", "", "", "Tool", "FrTest Tools", LinkPrograms, true, linkPath));
    EXPECT_EQ(linkPath, link);
    EXPECT_TRUE(IsFile(link));

    // A file of someone else keeps the folder.
    ASSERT_TRUE(driver::WriteBytes(folder + L"\\other.txt", "keep"));
    EXPECT_FALSE(
        MakeShortcut("C:\\t.exe", "", "", "Tool", "FrTest Tools", LinkPrograms, false, linkPath));
    EXPECT_FALSE(IsFile(link));
    EXPECT_TRUE(IsFolder(folder));

    ASSERT_TRUE(DeleteFileW((folder + L"\\other.txt").c_str()));
    ASSERT_TRUE(
        MakeShortcut("C:\\t.exe", "", "", "Tool", "FrTest Tools", LinkPrograms, true, linkPath));
    EXPECT_FALSE(
        MakeShortcut("C:\\t.exe", "", "", "Tool", "FrTest Tools", LinkPrograms, false, linkPath));
    EXPECT_TRUE(linkPath.empty());
    EXPECT_FALSE(IsFolder(folder));
    EXPECT_TRUE(IsFolder(programs));
    driver::RemoveTree(folder);
}

// None of these leaves a file behind, in SendTo or beside it, and none reports a link.
TEST_F(ShortcutTest, RefusedCallsMakeNoLink) {
    struct Case {
        const char *label;
        std::string name, subFolder;
        int location;
        bool create;
    };
    const Case cases[] = {
        {"delete of a missing link", "FrTest Missing", "", LinkSendTo, false},
        {"location 6", "FrTest Six", "", 6, true},
        {"location 255", "FrTest Big", "", 255, true},
        {"question mark", "FrTest?", "", LinkSendTo, true},
        {"asterisk", "FrTest*", "", LinkSendTo, true},
        {"double quote", "FrTest\"", "", LinkSendTo, true},
        {"backslash up", "..\\FrTest Escape", "", LinkSendTo, true},
        {"backslash into a folder", "Sub\\FrTest", "", LinkSendTo, true},
        {"slash up", "../FrTest Escape", "", LinkSendTo, true},
        {"colon stream", "FrTest:stream", "", LinkSendTo, true},
        {"drive", "C:FrTest Escape", "", LinkSendTo, true},
        {"delete with a backslash", "..\\FrTest Escape", "", LinkSendTo, false},
        {"programs without sub-folder", "FrTest NoSub", "", LinkPrograms, true},
    };
    // A file the delete cases must not reach.
    const std::wstring escape = driver::ParentFolder(sendTo_) + L"\\FrTest Escape.lnk";
    ASSERT_TRUE(driver::WriteBytes(escape, "not a link"));
    const std::wstring programs = KnownFolder(FOLDERID_Programs);
    const auto programsBefore = driver::ChildNames(programs);
    const auto parentBefore = driver::ChildNames(driver::ParentFolder(sendTo_));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        std::wstring linkPath = L"old";
        EXPECT_FALSE(MakeShortcut("C:\\t.exe", "d", "", c.name, c.subFolder,
                                  static_cast<TLinkLocation>(c.location), c.create, linkPath));
        EXPECT_TRUE(linkPath.empty());
        EXPECT_TRUE(sendToBaseline_.Added().empty());
        EXPECT_EQ(driver::ChildNames(driver::ParentFolder(sendTo_)), parentBefore);
        EXPECT_EQ(driver::ChildNames(programs), programsBefore);
        EXPECT_TRUE(IsFile(escape));
    }
}
