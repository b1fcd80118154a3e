// Feeds argument vectors (one argument per line of the input) to the command-line parser.
#include "core/command_line.h"
#include "core/startup.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    // "--open-home" would start the desktop file manager on every run.
    if (text.find("open-home") != std::string::npos)
        return 0;
    std::vector<std::string> args = {"rutmoor"};
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    StartupState state;
    startup_defaults(&state);
    command_line_wants_help(int(args.size()), argv.data());
    command_line_apply(&state, int(args.size()), argv.data());
    return 0;
}
