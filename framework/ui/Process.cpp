#include "framework/ui/Process.h"

#include <QProcess>
#include <QStringList>

#include <atomic>

namespace {

class QtProcessLauncher final : public IProcessLauncher {
public:
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override
    {
        QStringList list;
        for (const auto& a : arguments)
            list << QString::fromStdString(a);
        return QProcess::startDetached(QString::fromStdString(program), list);
    }
};

std::atomic<IProcessLauncher*> g_launcher{nullptr};

} // namespace

IProcessLauncher& ProcessLauncher()
{
    static QtProcessLauncher real;
    IProcessLauncher* launcher = g_launcher.load();
    return launcher ? *launcher : real;
}

void SetProcessLauncher(IProcessLauncher* launcher)
{
    g_launcher.store(launcher);
}
