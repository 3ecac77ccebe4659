// Leaks from a command the event loop carries out (a Qt timer calls it), as a menu
// command would. The leak check must report it with the project's suppressions.
#include "framework/ui/Application.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

int* volatile g_kept = nullptr;

[[gnu::noinline]] void leakFromCommand()
{
    g_kept = new int[1000];
    g_kept = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application;
    application.Initialize(argc, argv);
    application.PostCommand([] {
        leakFromCommand();
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}
