#pragma once

#include "Object.h"

#include <memory>
#include <string>
#include <vector>

enum class TOperation { opInsert, opRemove };

// An owner destroys the components it owns; a component that goes away tells every
// component that may refer to it (its owner's components and those that asked).
class TComponent : public TPersistent {
    CARNELO_CLASS(TComponent, TPersistent)
public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return m_owner; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Component(int index) const { return m_components.at(static_cast<size_t>(index)); }
    TComponent* FindComponent(std::string_view name) const;

    // Destroys the owned components now, newest first (a derived destructor calls this
    // while it is still whole, so owned components may still reach it).
    void DestroyComponents();

    // Asks for a removal notification when other goes away, though it is not a sibling.
    void FreeNotification(TComponent* other);

    // Expires when the component is destroyed: code that fires an event which may destroy
    // this component checks it before touching the component again.
    std::weak_ptr<const void> AliveToken() const { return m_alive; }

    bool Designing() const { return m_designing; }
    void SetDesigning(bool value) { m_designing = value; }
    bool Loading() const { return m_loading; }
    void BeginLoad() { m_loading = true; }
    // Ends loading and runs AfterLoad.
    void EndLoad();

protected:
    // Told when a component this one may refer to is inserted or goes away.
    virtual void Notification(TComponent* component, TOperation operation);
    // Runs once the stored properties are in place.
    virtual void AfterLoad() {}
    // Hook for the destruction sequence: runs while the object is still whole.
    void NotifyRemoval();

private:
    void insertComponent(TComponent* component);
    void removeComponent(TComponent* component);
    void notifyAll(TComponent* component, TOperation operation);

    TComponent* m_owner = nullptr;
    std::vector<TComponent*> m_components; // owned: deleted in the destructor
    std::vector<TComponent*> m_freeNotifies;
    std::string m_name;
    std::shared_ptr<const void> m_alive = std::make_shared<char>(0);
    bool m_designing = false;
    bool m_loading = false;
    bool m_removalSent = false;
};
