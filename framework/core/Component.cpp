#include "Component.h"

#include <algorithm>

namespace {
void eraseValue(std::vector<TComponent*>& list, TComponent* value)
{
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}
} // namespace

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->insertComponent(this);
}

TComponent::~TComponent()
{
    m_alive.reset();
    NotifyRemoval();
    DestroyComponents();
}

void TComponent::DestroyComponents()
{
    while (!m_components.empty()) {
        TComponent* child = m_components.back();
        m_components.pop_back();
        child->m_owner = nullptr;
        delete child;
    }
}

void TComponent::NotifyRemoval()
{
    if (m_removalSent)
        return;
    m_removalSent = true;
    for (TComponent* other : std::vector<TComponent*>(m_freeNotifies)) {
        eraseValue(other->m_freeNotifies, this);
        other->Notification(this, TOperation::opRemove);
    }
    m_freeNotifies.clear();
    if (m_owner)
        m_owner->removeComponent(this);
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    for (TComponent* c : m_components)
        if (c->m_name == name)
            return c;
    return nullptr;
}

void TComponent::FreeNotification(TComponent* other)
{
    if (!other || other == this)
        return;
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), other) == m_freeNotifies.end())
        m_freeNotifies.push_back(other);
    if (std::find(other->m_freeNotifies.begin(), other->m_freeNotifies.end(), this) == other->m_freeNotifies.end())
        other->m_freeNotifies.push_back(this);
}

void TComponent::EndLoad()
{
    m_loading = false;
    AfterLoad();
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::insertComponent(TComponent* component)
{
    m_components.push_back(component);
    component->m_owner = this;
    notifyAll(component, TOperation::opInsert);
}

void TComponent::removeComponent(TComponent* component)
{
    notifyAll(component, TOperation::opRemove);
    eraseValue(m_components, component);
    component->m_owner = nullptr;
}

void TComponent::notifyAll(TComponent* component, TOperation operation)
{
    Notification(component, operation);
    for (TComponent* sibling : std::vector<TComponent*>(m_components))
        if (sibling != component)
            sibling->Notification(component, operation);
}
