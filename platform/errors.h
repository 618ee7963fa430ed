#pragma once
// The two failures that reach the application-wide handler from file code.
// The error log writes the class name, so each class has a stable one that
// does not depend on the compiler's mangling.

#include <stdexcept>
#include <string>

class TunevaleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    virtual const char* className() const noexcept { return "TunevaleError"; }
};

// A file that could not be opened: "Cannot open file %s".
class FileOpenError : public TunevaleError {
public:
    explicit FileOpenError(const std::string& fileName)
        : TunevaleError("Cannot open file " + fileName), fileName_(fileName) {}
    const char* className() const noexcept override { return "EFOpenError"; }
    const std::string& fileName() const noexcept { return fileName_; }

private:
    std::string fileName_;
};

// A read, seek, write, close or rename that failed on an open file.
class InOutError : public TunevaleError {
public:
    explicit InOutError(const std::string& what) : TunevaleError(what) {}
    const char* className() const noexcept override { return "EInOutError"; }
};
