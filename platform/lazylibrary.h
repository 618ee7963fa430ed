#pragma once
// A shared library loaded the first time the program calls it rather than
// with the program. Every library among the program's own needs costs each
// start the loader's work on it (its dependencies, their relocations and
// look-ups), though a start decodes, encodes, records and burns nothing.
// Stand-in functions carry the real names: the first call opens the library,
// and each stand-in looks its real function up once, declared from the
// library's own header so that a signature that differs does not compile.

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <string>

class LazyLibrary {
public:
    // soname: the version this program was built against.
    constexpr explicit LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // Opens the library the first time; null when it cannot be loaded, and
    // then problem() says why (it is also written to standard error). Safe
    // from any thread.
    void* handle();

    // The real function, looked up in this library and what it loads alone,
    // so that a stand-in never finds itself. A library that cannot be loaded,
    // or that lacks the name (older than the headers the program was built
    // with), ends the process saying which.
    void* function(const char* name);

    // The real function from the first of these libraries that has it, for
    // stand-ins of a family whose functions are spread over several.
    static void* function(std::initializer_list<LazyLibrary*> libraries, const char* name);

    // "Cannot load <soname>: <the loader's reason>" once loading failed;
    // empty before anything asked for the library, and while it loads.
    std::string problem() const;

    const char* soname() const { return soname_; }

private:
    [[noreturn]] void fail(const char* name) const;

    const char* soname_;
    std::once_flag once_;
    void* handle_ = nullptr;
    std::string problem_;
    std::atomic<bool> tried_{false};
};

// The problem of the first of these libraries that could not be loaded;
// empty while every one asked for so far was.
std::string FirstLoadProblem(std::initializer_list<const LazyLibrary*> libraries);

// The stand-in for name, a function of library (a LazyLibrary): it looks up
// the real one once and calls it.
#define TUNEVALE_LAZY_FUNCTION(library, result, name, parameters, arguments)                     \
    result name parameters {                                                                     \
        static const auto function = reinterpret_cast<decltype(&name)>(library.function(#name)); \
        return function arguments;                                                               \
    }

// The same for a call that opens or starts something: without its library it
// returns failure, as it does when there is nothing to open, and the caller's
// own error path says so.
#define TUNEVALE_LAZY_OPENING(library, failure, result, name, parameters, arguments)             \
    result name parameters {                                                                     \
        if (!library.handle()) return failure;                                                   \
        static const auto function = reinterpret_cast<decltype(&name)>(library.function(#name)); \
        return function arguments;                                                               \
    }
