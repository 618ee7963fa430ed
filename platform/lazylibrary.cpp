#include "platform/lazylibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

void* LazyLibrary::handle() {
    std::call_once(once_, [this] {
        handle_ = ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = ::dlerror();
            problem_ = std::string("Cannot load ") + soname_ + ": " + (why ? why : "unknown error");
            std::fprintf(stderr, "%s\n", problem_.c_str());
        }
        tried_.store(true, std::memory_order_release);
    });
    return handle_;
}

void LazyLibrary::fail(const char* name) const {
    if (!handle_) std::fprintf(stderr, "Cannot call %s: %s\n", name, problem_.c_str());
    else std::fprintf(stderr, "Cannot find %s in %s\n", name, soname_);
    std::abort();
}

void* LazyLibrary::function(const char* name) {
    void* const library = handle();
    if (void* function = library ? ::dlsym(library, name) : nullptr) return function;
    fail(name);
}

void* LazyLibrary::function(std::initializer_list<LazyLibrary*> libraries, const char* name) {
    for (LazyLibrary* library : libraries) {
        void* const handle = library->handle();
        if (!handle) library->fail(name);
        if (void* function = ::dlsym(handle, name)) return function;
    }
    std::fprintf(stderr, "Cannot find %s in %s or the libraries loaded with it\n", name, libraries.begin()[0]->soname_);
    std::abort();
}

std::string LazyLibrary::problem() const {
    return tried_.load(std::memory_order_acquire) ? problem_ : std::string();
}

std::string FirstLoadProblem(std::initializer_list<const LazyLibrary*> libraries) {
    for (const LazyLibrary* library : libraries)
        if (std::string problem = library->problem(); !problem.empty()) return problem;
    return {};
}
