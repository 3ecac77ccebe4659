#include "Golden.h"

#include <QImage>

#include <cstdlib>

namespace {

bool updateRequested()
{
    const char* update = std::getenv("CARNELO_UPDATE_GOLDEN");
    return update && std::string(update) == "1";
}

bool underCi()
{
    const char* ci = std::getenv("CI");
    return ci && *ci;
}

} // namespace

std::string GoldenPath(const std::string& name)
{
    return std::string(CARNELO_TEST_DATA) + "/golden/" + name + ".png";
}

testing::AssertionResult MatchesGolden(const QImage& actual, const std::string& name, const std::string& outputFolder)
{
    const std::string golden = GoldenPath(name);
    if (updateRequested()) {
        if (underCi())
            return testing::AssertionFailure()
                   << "CARNELO_UPDATE_GOLDEN=1 is refused under CI: reviewed pictures are redrawn by hand";
        if (!actual.save(QString::fromStdString(golden)))
            return testing::AssertionFailure() << "cannot write " << golden;
        return testing::AssertionFailure() << "redrew " << golden << ": review it, then run the tests without "
                                           << "CARNELO_UPDATE_GOLDEN";
    }
    QImage expected(QString::fromStdString(golden));
    if (expected.isNull())
        return testing::AssertionFailure() << "no reviewed picture " << golden;
    expected = expected.convertToFormat(QImage::Format_RGB32);
    const std::string saved = outputFolder + "/" + name + ".actual.png";
    if (expected.size() != actual.size()) {
        actual.save(QString::fromStdString(saved));
        return testing::AssertionFailure()
               << name << " is " << actual.width() << "x" << actual.height() << ", the reviewed picture "
               << expected.width() << "x" << expected.height() << "; see " << saved;
    }
    int differing = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            differing += (actual.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF);
    if (differing == 0)
        return testing::AssertionSuccess();
    actual.save(QString::fromStdString(saved));
    return testing::AssertionFailure() << differing << " pixels of " << name
                                       << " differ from the reviewed picture; see " << saved;
}
