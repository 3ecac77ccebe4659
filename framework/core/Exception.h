#pragma once

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

// The framework's one exception hierarchy: every failure carries its message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const std::string& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

#define CARNELO_EXCEPTION(Name, Base)                                                                                  \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        using Base::Base;                                                                                              \
    }

CARNELO_EXCEPTION(EConvertError, Exception);
CARNELO_EXCEPTION(EStreamError, Exception);
CARNELO_EXCEPTION(EReadError, EStreamError);
CARNELO_EXCEPTION(EWriteError, EStreamError);
CARNELO_EXCEPTION(EFOpenError, EStreamError);
CARNELO_EXCEPTION(EFCreateError, EStreamError);
CARNELO_EXCEPTION(EListError, Exception);
CARNELO_EXCEPTION(EInvalidCast, Exception);
CARNELO_EXCEPTION(EThread, Exception);
CARNELO_EXCEPTION(EInvalidGraphic, Exception);
CARNELO_EXCEPTION(EInvalidGraphicOperation, Exception);
CARNELO_EXCEPTION(EInvalidOperation, Exception);

// Raised before any large allocation is attempted, and when one fails.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
    using Exception::Exception;
};

// The system's text for the last error, or "Out of system resources" when there is none.
class EOutOfResources : public Exception {
public:
    EOutOfResources();
    using Exception::Exception;
};

// The framework's own message texts.
namespace FrameworkText {
inline constexpr std::string_view AssignError = "Ne peut affecter %s à %s";
inline constexpr std::string_view ReadError = "Erreur de lecture du flux";
inline constexpr std::string_view WriteError = "Erreur d'écriture dans le flux";
inline constexpr std::string_view OutOfMemory = "Mémoire insuffisante";
inline constexpr std::string_view OutOfResources = "Out of system resources";
inline constexpr std::string_view FOpenError = "Impossible d'ouvrir le fichier %s";
inline constexpr std::string_view FCreateError = "Impossible de créer le fichier %s";
inline constexpr std::string_view ListIndexError = "Index de liste hors limites (%s)";
inline constexpr std::string_view InvalidCast = "Transtypage incorrect";
} // namespace FrameworkText

// Replaces each "%s" of the pattern, in order, by the next argument; "%%" is one "%".
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);

// The C library's text for an errno value.
std::string SysErrorMessage(int error);
