#include "components/disc/disclibrary.h"

#include "components/disc/disclog.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

void* DiscLibrary::handle() {
    std::call_once(once_, [this] {
        handle_ = ::dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = ::dlerror();
            problem_ = std::string("Cannot load ") + soname_ + ": " + (why ? why : "unknown error");
            qCWarning(lcDisc, "%s", problem_.c_str());
        }
        tried_.store(true, std::memory_order_release);
    });
    return handle_;
}

void* DiscLibrary::function(const char* name) {
    void* const library = handle();
    if (void* function = library ? ::dlsym(library, name) : nullptr) return function;
    std::fprintf(stderr, "Cannot find %s in %s\n", name, soname_);
    std::abort();
}

std::string DiscLibrary::problem() const {
    return tried_.load(std::memory_order_acquire) ? problem_ : std::string();
}

std::string FirstLoadProblem(std::initializer_list<const DiscLibrary*> libraries) {
    for (const DiscLibrary* library : libraries)
        if (std::string problem = library->problem(); !problem.empty()) return problem;
    return {};
}
