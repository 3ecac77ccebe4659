#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    std::vector<std::string> arguments;
    CommandLineAction action;
    const char* badArgument;
};

TEST(CommandLine, OnlyHelpVersionAndTheToolkitsOptions)
{
    using A = CommandLineAction;
    const Case cases[] = {
        {{}, A::Run, ""},
        {{"-platform", "offscreen"}, A::Run, ""},
        {{"--platform", "xcb", "-style=fusion", "-reverse"}, A::Run, ""},
        {{"-display", ":1", "-geometry", "10x10"}, A::Run, ""},
        {{"--help"}, A::Help, ""},
        {{"-style", "fusion", "-h"}, A::Help, ""},
        {{"--version"}, A::Version, ""},
        {{"Data.sys"}, A::Usage, "Data.sys"},
        {{"--verbose", "x"}, A::Usage, "--verbose"},
        {{"-platform"}, A::Usage, "-platform"},
        {{"-reverse=1"}, A::Usage, "-reverse=1"},
        {{"-"}, A::Usage, "-"},
        {{"x", "--version"}, A::Version, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.front();
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.badArgument, c.badArgument) << shown;
    }
}

TEST(CommandLine, TextsNameTheVersionAndTheStore)
{
    EXPECT_EQ(versionText(), std::string("carnelo ") + CARNELO_VERSION + "\n");
    EXPECT_NE(
        helpText("/home/a/.local/share/carnelo/Data.sys").find("kept in: /home/a/.local/share/carnelo/Data.sys\n"),
        std::string::npos);
}

} // namespace
