#include "Object.h"

bool TClass::InheritsFrom(const TClass& other) const
{
    for (const TClass* c = this; c; c = c->m_parent)
        if (c == &other)
            return true;
    return false;
}

std::unique_ptr<TObject> TClass::Create() const
{
    if (!m_factory)
        throw EInvalidOperation("Cannot create an instance of the abstract class " + std::string(m_name));
    return std::unique_ptr<TObject>(m_factory());
}

const TClass& TObject::StaticClass()
{
    static const TClass info("TObject", nullptr, nullptr);
    return info;
}

void TPersistent::CopyFrom(const TPersistent* source)
{
    if (!source)
        RaiseCopyError(nullptr);
    source->CopyInto(*this);
}

void TPersistent::CopyInto(TPersistent& destination) const
{
    destination.RaiseCopyError(this);
}

void TPersistent::RaiseCopyError(const TPersistent* source) const
{
    const std::string sourceName = source ? std::string(source->ClassName()) : std::string("nil");
    throw EConvertError(Format(FrameworkText::AssignError, {sourceName, ClassName()}));
}
