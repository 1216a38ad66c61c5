#pragma once
// A failure with a text for the user, thrown by the program, its settings
// file and the mixer component alike.
// Not std::runtime_error: the shipped files link the C++ runtime in, and its
// standard exceptions bring a second, copy-on-write string implementation
// into each of them for nothing.
#include <exception>
#include <string>
#include <utility>

class TextError : public std::exception {
public:
    explicit TextError(std::string text) : text_(std::move(text)) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};
