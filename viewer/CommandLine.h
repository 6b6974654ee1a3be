// The viewer's command line, parsed: the files to open, or a request for the
// help or version text, which the program answers on the terminal before it
// needs a display. An argument after "--" is always a file, so a file whose
// name starts with a dash can still be opened.
#pragma once

#include <string>
#include <vector>

class CommandLine {
public:
    enum class Action { Run, Help, Version, Error };

    // Parses the arguments after the program's name.
    static CommandLine Parse(const std::vector<std::string>& arguments);

    // Whether Qt could reach a display for these arguments and this
    // environment: a display or platform named in either. Without one Qt ends
    // the program before the options are checked, so an unknown option is
    // told before Qt starts.
    static bool NamesADisplay(const std::vector<std::string>& arguments, const char* display,
                              const char* waylandDisplay, const char* platform);

    // The texts of --help and --version (UTF-8, ending in a newline).
    static std::string HelpText();
    static std::string VersionText();

    Action action = Action::Run;
    // The files named, in command-line order.
    std::vector<std::string> files;
    // Why the command line is refused (Action::Error), in Russian.
    std::string error;
};
