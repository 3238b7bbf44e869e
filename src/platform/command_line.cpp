#include "platform/command_line.h"

namespace pm {

bool CommandLine::Next(Argument& arg) {
    if (next_ >= argc_) return false;
    arg = {};
    arg.Text = argv_[next_++];
    arg.Name = arg.Text;
    if (const size_t eq = arg.Text.find('='); arg.Long() && eq != arg.Text.npos) {
        arg.Name = arg.Text.substr(0, eq);
        arg.Value = arg.Text.substr(eq + 1);
        arg.Inline = true;
    }
    for (const OptionName& o : options_)
        if (o.Name == arg.Name) {
            arg.Known = true;
            arg.TakesValue = o.TakesValue;
        }
    if (arg.TakesValue && !arg.Inline) {
        if (next_ < argc_)
            arg.Value = argv_[next_++];
        else
            arg.Missing = true;
    }
    return true;
}

}  // namespace pm
