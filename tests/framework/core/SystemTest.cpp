#include "framework/core/System.h"
#include "framework/core/Exception.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(MulDiv, RoundsToNearestWithA64BitProduct)
{
    EXPECT_EQ(MulDiv(10, 10, 3), 33);
    EXPECT_EQ(MulDiv(5, 1, 2), 3); // half rounds away from zero
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(MulDiv(7, -2, 4), -4);
}

TEST(MulDiv, ReportsFailureOnZeroDivisorAndOverflow)
{
    EXPECT_FALSE(MulDivChecked(1, 2, 0));
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_FALSE(MulDivChecked(INT32_MAX, 4, 1));
    EXPECT_EQ(MulDivChecked(INT32_MIN, 1, 1), INT32_MIN);
}

TEST(Format, ReplacesPlaceholdersInOrder)
{
    EXPECT_EQ(Format("Ne peut affecter %s à %s", {"TA", "TB"}), "Ne peut affecter TA à TB");
    EXPECT_EQ(Format("100%% %s", {"sûr"}), "100% sûr");
}

TEST(System, ExecutablePathIsAbsoluteAndItsFolderEndsWithSlash)
{
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(ExtractFilePath(path).back(), '/');
    EXPECT_EQ(ExtractFilePath("/a/b/c"), "/a/b/");
}

TEST(OutOfResources, CarriesTheSystemTextOrAFallback)
{
    errno = ENOMEM;
    EXPECT_EQ(EOutOfResources().Message(), SysErrorMessage(ENOMEM));
    errno = 0;
    EXPECT_EQ(EOutOfResources().Message(), "Out of system resources");
    EXPECT_EQ(EOutOfMemory().Message(), "Mémoire insuffisante");
}
