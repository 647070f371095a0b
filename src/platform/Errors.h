#pragma once
// The error types that travel through the program. Every error is a C++
// exception whose what() is the text the user is shown.
#include <stdexcept>
#include <string>

// Base of every error the program raises itself.
class FvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An operating-system failure; keeps errno beside the message.
class SystemError : public FvError {
public:
    SystemError(const std::string& message, int code) : FvError(message), FCode(code) {}
    int Code() const noexcept { return FCode; }

private:
    int FCode;
};

// "Cannot open file \"%s\". %s"
class FileOpenError : public SystemError {
public:
    using SystemError::SystemError;
};

// "Cannot create file \"%s\". %s"
class FileCreateError : public SystemError {
public:
    using SystemError::SystemError;
};

// "Stream read error"
class StreamReadError : public SystemError {
public:
    using SystemError::SystemError;
};

// "Stream write error"
class StreamWriteError : public SystemError {
public:
    using SystemError::SystemError;
};

// Raised by the checked integer helpers instead of wrapping.
class OverflowError : public FvError {
public:
    OverflowError() : FvError("Integer overflow") {}
};

// Raised by FV_ASSERT; assertions stay on in every build.
class AssertionError : public FvError {
public:
    using FvError::FvError;
};
