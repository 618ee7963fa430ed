#pragma once
// A disc library (libcdio's, libburn's) loaded the first time the program
// calls it rather than with the program, for the stand-in functions in
// cdiolibraries.cpp and burnlibraries.cpp. Having them among the program's
// libraries cost every start the loader's look-ups in them, though a start
// touches no disc.

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <string>

class DiscLibrary {
public:
    // soname: the version this program was built against.
    constexpr explicit DiscLibrary(const char* soname) : soname_(soname) {}
    DiscLibrary(const DiscLibrary&) = delete;
    DiscLibrary& operator=(const DiscLibrary&) = delete;

    // Opens the library the first time; null when it cannot be loaded, and
    // then problem() says why. Safe from any thread.
    void* handle();

    // The real function, looked up in this library alone so that a stand-in
    // never finds itself. Its absence means a library older than the
    // headers the program was built with: the process ends saying so.
    void* function(const char* name);

    // "Cannot load <soname>: <the loader's reason>" once loading failed;
    // empty before anything asked for the library, and while it loads.
    std::string problem() const;

private:
    const char* soname_;
    std::once_flag once_;
    void* handle_ = nullptr;
    std::string problem_;
    std::atomic<bool> tried_{false};
};

// The problem of the first of these libraries that could not be loaded;
// empty while every one asked for so far was.
std::string FirstLoadProblem(std::initializer_list<const DiscLibrary*> libraries);

// The stand-in for name, a function of library (a DiscLibrary): it looks up
// the real one once and calls it. The declaration in the library's header
// must match, or the stand-in does not compile.
#define TUNEVALE_DISC_FUNCTION(library, result, name, parameters, arguments)                       \
    result name parameters {                                                                     \
        static const auto function = reinterpret_cast<decltype(&name)>(library.function(#name)); \
        return function arguments;                                                               \
    }

// The same for a call that opens or starts something: without its library it
// returns failure, as it does when there is nothing to open.
#define TUNEVALE_DISC_OPENING(library, failure, result, name, parameters, arguments)               \
    result name parameters {                                                                     \
        if (!library.handle()) return failure;                                                   \
        static const auto function = reinterpret_cast<decltype(&name)>(library.function(#name)); \
        return function arguments;                                                               \
    }
