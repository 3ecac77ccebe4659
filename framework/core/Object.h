#pragma once

#include "Exception.h"

#include <memory>
#include <string>
#include <string_view>

class TObject;

// A class reference: the run-time face of a class, able to create an instance of it
// when the class is concrete and default-constructible (a "virtual constructor").
class TClass {
public:
    using Factory = TObject* (*)();
    constexpr TClass(std::string_view name, const TClass* parent, Factory factory)
        : m_name(name), m_parent(parent), m_factory(factory)
    {}

    std::string_view Name() const { return m_name; }
    const TClass* Parent() const { return m_parent; }
    bool InheritsFrom(const TClass& other) const;
    bool IsAbstract() const { return m_factory == nullptr; }
    // Throws EInvalidOperation for an abstract class.
    std::unique_ptr<TObject> Create() const;

private:
    std::string_view m_name;
    const TClass* m_parent;
    Factory m_factory;
};

namespace detail {
template <typename T>
TObject* createInstance()
{
    if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
        return new T();
    else
        return nullptr;
}
template <typename T>
constexpr TClass::Factory factoryFor()
{
    if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
        return &createInstance<T>;
    else
        return nullptr;
}
} // namespace detail

// Declares the class reference of a class derived from TObject. Use in the class body.
#define CARNELO_CLASS(Name, Base)                                                                                      \
public:                                                                                                                \
    static const TClass& StaticClass()                                                                                 \
    {                                                                                                                  \
        static const TClass info(#Name, &Base::StaticClass(), detail::factoryFor<Name>());                             \
        return info;                                                                                                   \
    }                                                                                                                  \
    const TClass& ClassType() const override                                                                           \
    {                                                                                                                  \
        return StaticClass();                                                                                          \
    }                                                                                                                  \
                                                                                                                       \
private:

class TObject {
public:
    virtual ~TObject() = default;
    static const TClass& StaticClass();
    virtual const TClass& ClassType() const { return StaticClass(); }
    std::string_view ClassName() const { return ClassType().Name(); }
    bool InheritsFrom(const TClass& cls) const { return ClassType().InheritsFrom(cls); }

    template <typename T>
    bool Is() const
    {
        return dynamic_cast<const T*>(this) != nullptr;
    }
};

// Checked cast: raises EInvalidCast instead of yielding null for a wrong class.
template <typename T>
T& As(TObject& object)
{
    if (auto* result = dynamic_cast<T*>(&object))
        return *result;
    throw EInvalidCast(std::string(FrameworkText::InvalidCast));
}

class TPersistent : public TObject {
    CARNELO_CLASS(TPersistent, TObject)
public:
    // Copies from source; by default asks the source to copy itself into this object,
    // and raises EConvertError when neither side knows the other. A null source is "nil".
    virtual void CopyFrom(const TPersistent* source);
    // Copies this object into destination; by default raises EConvertError.
    virtual void CopyInto(TPersistent& destination) const;

protected:
    [[noreturn]] void RaiseCopyError(const TPersistent* source) const;
};
