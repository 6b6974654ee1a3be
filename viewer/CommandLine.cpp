#include "CommandLine.h"

CommandLine CommandLine::Parse(const std::vector<std::string>& arguments) {
    CommandLine result;
    bool onlyFiles = false;
    for (const std::string& argument : arguments) {
        if (onlyFiles || argument.empty() || argument == "-" || argument[0] != '-') {
            // An empty argument names no file: a launcher that passes one
            // asks for nothing to be opened.
            if (!argument.empty()) result.files.push_back(argument);
        } else if (argument == "--") {
            onlyFiles = true;
        } else if (argument == "--help" || argument == "-h") {
            // Help wins over everything after it: it is what a confused user asked for.
            result.action = Action::Help;
            return result;
        } else if (argument == "--version") {
            // The version is answered even beside an option it does not know.
            result.action = Action::Version;
            result.error.clear();
        } else if (result.action != Action::Version) {
            result.action = Action::Error;
            result.error = "Неизвестный параметр: " + argument + "\nСправка: fonavid --help";
        }
    }
    return result;
}

bool CommandLine::NamesADisplay(const std::vector<std::string>& arguments, const char* display,
                                const char* waylandDisplay, const char* platform) {
    auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
    if (set(display) || set(waylandDisplay) || set(platform)) return true;
    // Qt takes its options with one dash or two, the value after them or after "=".
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        const size_t start = argument.rfind("--", 0) == 0 ? 2 : argument.rfind('-', 0) == 0 ? 1 : 0;
        if (start == 0) continue;
        const std::string name = argument.substr(start, argument.find('=') - start);
        if (name == "platform" || name == "display") return true;
    }
    return false;
}

std::string CommandLine::VersionText() { return std::string("fonavid ") + FONAVID_VERSION + "\n"; }

std::string CommandLine::HelpText() {
    return "Использование: fonavid [параметры] [ФАЙЛ.wav...]\n"
           "\n"
           "Показывает сонограммы и FGT WAVE-файлов. Каждый названный файл открывается в своем окне,\n"
           "как по команде File, Open; о файле, который не удается открыть, выводится сообщение.\n"
           "\n"
           "Параметры:\n"
           "  -h, --help             эта справка\n"
           "      --version          версия программы\n"
           "      --                 все дальнейшие аргументы - имена файлов\n"
           "\n"
           "Справка и версия выводятся без дисплея; для окон программы он нужен.\n";
}
