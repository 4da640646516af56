// The text rules of the setup window: the menu name shown for a stored shortcut path, and which
// stored paths Uninstall may delete.
#include "App.h"

#include <gtest/gtest.h>

TEST(SetupText, MenuNameFromLinkCutsAtTheFirstOccurrenceOfTheExtension) {
    struct Case {
        const char *path, *name;
    };
    const Case cases[] = {
        {"C:\\Users\\u\\SendTo\\Folder X.lnk", "Folder X"},
        {"C:\\Users\\u\\SendTo\\name", ""},
        {"C:\\Users\\u\\SendTo\\a.lnk b.lnk", "a"},
        {"C:\\Users\\u\\SendTo\\.lnk", ""},
        {"C:\\dir.x\\Tool.lnk", "Tool"},
        {"C:\\dir.x\\Tool", ""},
        {"Tool.tar.gz", "Tool.tar"},
        {"x.gz.gz", "x"},
        {"C:Tool.lnk", "Tool"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MenuNameFromLink(c.path), c.name) << c.path;
}

TEST(SetupText, OnlyAPathWhoseFileNameEndsInLnkIsALink) {
    struct Case {
        const char *path;
        bool link;
    };
    const Case cases[] = {
        {"C:\\Users\\u\\SendTo\\Folder X.lnk", true},
        {"C:\\Users\\u\\SendTo\\Folder X.LNK", true},
        {"C:\\Users\\u\\SendTo\\Folder X.Lnk", true},
        {"C:\\x\\.lnk", true},
        {"C:\\Windows\\notepad.exe", false},
        {"C:\\Users\\u\\Documents\\notes.txt", false},
        {"C:\\Users\\u\\SendTo\\Folder.lnk\\", false},
        {"C:\\Users\\u\\SendTo\\Folder.lnk.txt", false},
        {"C:\\Users\\u\\SendTo\\Folderlnk", false},
        {"lnk", false},
        {"", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsLinkPath(c.path), c.link) << c.path;
}
