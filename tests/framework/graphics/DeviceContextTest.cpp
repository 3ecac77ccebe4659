#include "framework/graphics/DeviceContext.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

std::string outOfResourcesText()
{
    try {
        CheckGDIObject(TCanvasHandle(0));
    } catch (const EOutOfResources& e) {
        return e.Message();
    }
    return "(no exception)";
}

} // namespace

TEST(CheckGDIObject, ReportsTheLastSystemError)
{
    EXPECT_EQ(CheckGDIObject(TCanvasHandle(0x1234)), TCanvasHandle(0x1234));
    errno = EMFILE;
    EXPECT_EQ(outOfResourcesText(), std::strerror(EMFILE));
    errno = 0;
    EXPECT_EQ(outOfResourcesText(), "Out of system resources");
}
