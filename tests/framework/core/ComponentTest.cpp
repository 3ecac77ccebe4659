#include "framework/core/Component.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string>* g_log = nullptr;

class TProbe : public TComponent {
    CARNELO_CLASS(TProbe, TComponent)
public:
    explicit TProbe(TComponent* owner = nullptr, std::string name = {}) : TComponent(owner)
    {
        SetName(std::move(name));
    }
    ~TProbe() override
    {
        if (g_log)
            g_log->push_back("free " + Name());
    }
    TComponent* reference = nullptr;

protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        if (operation == TOperation::opRemove && component == reference) {
            reference = nullptr;
            if (g_log)
                g_log->push_back(Name() + " forgets " + component->Name());
        }
    }
    void AfterLoad() override
    {
        if (g_log)
            g_log->push_back("loaded " + Name());
    }
};

struct LogScope {
    std::vector<std::string> log;
    LogScope() { g_log = &log; }
    ~LogScope() { g_log = nullptr; }
};

} // namespace

TEST(Component, OwnerDestroysWhatItOwnsNewestFirst)
{
    LogScope scope;
    {
        TProbe owner(nullptr, "form");
        new TProbe(&owner, "a");
        new TProbe(&owner, "b");
        EXPECT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.FindComponent("b")->Name(), "b");
    }
    EXPECT_EQ(scope.log, (std::vector<std::string>{"free form", "free b", "free a"}));
}

TEST(Component, SiblingsHearOfARemovedComponent)
{
    LogScope scope;
    TProbe owner(nullptr, "form");
    auto* menu = new TProbe(&owner, "menu");
    auto* button = new TProbe(&owner, "button");
    button->reference = menu;
    delete menu;
    EXPECT_EQ(button->reference, nullptr);
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(scope.log.front(), "free menu");
}

TEST(Component, FreeNotificationReachesAComponentOfAnotherOwner)
{
    TProbe formA(nullptr, "A"), formB(nullptr, "B");
    auto* menu = new TProbe(&formA, "menu");
    auto* button = new TProbe(&formB, "button");
    button->reference = menu;
    button->FreeNotification(menu);
    delete menu;
    EXPECT_EQ(button->reference, nullptr);
}

TEST(Component, EndLoadRunsAfterLoad)
{
    LogScope scope;
    TProbe probe(nullptr, "p");
    probe.BeginLoad();
    EXPECT_TRUE(probe.Loading());
    probe.EndLoad();
    EXPECT_FALSE(probe.Loading());
    EXPECT_EQ(scope.log, (std::vector<std::string>{"loaded p"}));
}
