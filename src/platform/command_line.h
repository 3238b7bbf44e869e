// The one walker of our command lines (the game's and the runner's): each
// argument is "--name", "--name=value", "--name value" for an option that
// takes a value, or something else. It only splits and looks up; every
// program keeps its own messages and checks their order itself, so a bad
// command line is told the way its program has always told it.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

namespace pm {

struct OptionName {
    std::string_view Name;    // "--scale", or a short one such as "-h"
    bool TakesValue = false;
};

struct Argument {
    std::string_view Text;    // the argument as given
    std::string_view Name;    // before '=' for "--name=value", else the whole argument
    std::optional<std::string_view> Value;   // after '=', or the next argument
    bool Inline = false;      // the value came after '='
    bool Known = false;       // Name is one of the program's options
    bool TakesValue = false;  // ... and takes a value
    bool Missing = false;     // it takes a value and the command line ended first

    bool Dashed() const { return Text.starts_with("-"); }
    bool Long() const { return Text.starts_with("--"); }
};

class CommandLine {
public:
    CommandLine(int argc, const char* const* argv, std::initializer_list<OptionName> options)
        : argc_(argc), argv_(argv), options_(options) {}

    // The next argument, taking the following one as its value when a known
    // option needs one and has none after '='; false at the end.
    bool Next(Argument& arg);

private:
    int argc_;
    const char* const* argv_;
    std::vector<OptionName> options_;
    int next_ = 1;
};

}  // namespace pm
