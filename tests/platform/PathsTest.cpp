#include "platform/Paths.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using testsupport::TempDir;

TEST(Paths, ResolvesEachComponentWithoutRegardToCase)
{
    TempDir dir;
    dir.write("Dev/Test_.TPL", "x");
    const std::string base = dir.path().string();

    EXPECT_EQ(ResolveCaseInsensitive(base + "/DEV/TEST_.tpl"), base + "/Dev/Test_.TPL");
    EXPECT_EQ(ResolveCaseInsensitive(base + "\\dev\\test_.TPL"), base + "/Dev/Test_.TPL");
    EXPECT_TRUE(FileExistsCi(base + "/dev/TEST_.TPL"));
    EXPECT_FALSE(FileExistsCi(base + "/dev/OTHER.TPL"));
    EXPECT_FALSE(FileExistsCi(base + "/dev"));   // a folder is not a file
    EXPECT_EQ(ResolveCaseInsensitive(base + "/missing/x"), base + "/missing/x");
}

TEST(Paths, ExactNameWinsAndTiesTakeTheFirstSortedName)
{
    TempDir dir;
    dir.write("abc.ini", "1");
    dir.write("ABC.INI", "2");
    const std::string base = dir.path().string();
    EXPECT_EQ(ResolveCaseInsensitive(base + "/abc.ini"), base + "/abc.ini");
    EXPECT_EQ(ResolveCaseInsensitive(base + "/Abc.Ini"), base + "/ABC.INI");
}

TEST(Paths, FileNameParts)
{
    EXPECT_EQ(ExtractFileName("C:\\DEV\\A.TPL"), "A.TPL");
    EXPECT_EQ(ExtractFileName("dev/A.TPL"), "A.TPL");
    EXPECT_EQ(ExtractFilePath("dev/A.TPL"), "dev/");
    EXPECT_EQ(ExtractFilePath("A.TPL"), "");
    EXPECT_EQ(ExtractFileExt("dev.d/A.tpl"), ".tpl");
    EXPECT_EQ(ExtractFileExt("dev.d/README"), "");
}
