#include "RenderOptions.h"

#include <charconv>
#include <cmath>

#include "PasFilmGrid.h"
#include "Renderer.h"

#ifndef FONAVID_VERSION
#define FONAVID_VERSION "0.0.0"
#endif

namespace {

// Options that take a value, written --name=value or --name value.
const char* const kValueOptions[] = {"output",      "channel", "layer", "fft",       "sonel",
                                     "step",        "preset",  "mode",  "upper",     "lower",
                                     "start",       "end",     "fgt-p", "fgt-upper", "fgt-lower",
                                     "compression", "width",   "data",  "fgt-data"};

bool TakesValue(const std::string& name) {
    for (const char* option : kValueOptions)
        if (name == option) return true;
    return false;
}

std::optional<long long> ParseInteger(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
    return value;
}

std::optional<double> ParseFinite(const std::string& text) {
    const std::optional<double> value = pasfilm::ParseNumber(text);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

bool EndsWith(const std::string& text, const std::string& ending) {
    if (text.size() <= ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i) {
        const char c = text[text.size() - ending.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != ending[i]) return false;
    }
    return true;
}

bool IsFFTSize(long long n) {
    for (long long size = 16; size <= 65536; size *= 4)
        if (n == size) return true;
    return false;
}

}  // namespace

bool RenderOptions::Fail(const std::string& text) {
    m_strError = text + "\nСправка: fonavid-render --help";
    return false;
}

bool RenderOptions::Parse(const std::vector<std::string>& arguments) {
    m_strError.clear();
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") {
            action = Action::Help;
            return true;
        }
        if (argument == "--version") action = Action::Version;
    }
    if (action == Action::Version) return true;

    bool onlyFiles = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!onlyFiles && argument == "--") {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && argument == "-o") {
            if (i + 1 >= arguments.size()) return Fail("Для параметра -o не задано значение.");
            output = arguments[++i];
            continue;
        }
        const bool positional = onlyFiles || argument.size() < 2 || argument[0] != '-';
        if (positional) {
            if (!input.empty()) return Fail("Лишний аргумент: " + argument + ".");
            input = argument;
            continue;
        }
        if (argument[1] != '-') return Fail("Неизвестный параметр: " + argument + ".");
        const size_t equals = argument.find('=');
        const std::string name =
            argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (name == "hq" || name == "fgt" || name == "quiet" || name == "axes") {
            if (equals != std::string::npos) return Fail("Параметр --" + name + " не принимает значения.");
            if (name == "hq") highQuality = true;
            if (name == "fgt") fgt = true;
            if (name == "quiet") quiet = true;
            if (name == "axes") axes = true;
            continue;
        }
        if (!TakesValue(name)) return Fail("Неизвестный параметр: " + argument + ".");
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else {
            if (i + 1 >= arguments.size()) return Fail("Для параметра --" + name + " не задано значение.");
            value = arguments[++i];
        }
        if (!ApplyValue(name, value)) return false;
    }
    if (input.empty()) return Fail("Не задан входной WAVE-файл.");
    if (output.empty()) return Fail("Не задан выходной файл: -o ФАЙЛ.png.");
    if (upperLevel && lowerLevel && !(*upperLevel > *lowerLevel))
        return Fail("Верхний уровень должен быть выше нижнего.");
    if (!(fgtUpperLevel > fgtLowerLevel)) return Fail("Верхний уровень FGT должен быть выше нижнего.");
    if (startSeconds && endSeconds && !(*endSeconds > *startSeconds))
        return Fail("Конец диапазона времени должен быть позже его начала.");
    if (width && stepSamples) return Fail("Параметры --width и --step исключают друг друга.");
    if (!fgtDataFile.empty() && !fgt) return Fail("Параметр --fgt-data требует --fgt.");
    return true;
}

bool RenderOptions::ApplyValue(const std::string& name, const std::string& value) {
    const auto bad = [&](const std::string& expected) {
        return Fail("Недопустимое значение параметра --" + name + ": «" + value + "». " + expected);
    };
    const std::optional<long long> integer = ParseInteger(value);
    const std::optional<double> number = ParseFinite(value);
    if (name == "output") {
        if (value.empty()) return bad("Ожидается имя файла.");
        output = value;
    } else if (name == "channel") {
        if (!integer || (*integer != 1 && *integer != 2)) return bad("Ожидается 1 или 2.");
        channel = static_cast<int>(*integer);
    } else if (name == "layer") {
        if (!integer || *integer < 0 || *integer > 7) return bad("Ожидается число от 0 до 7.");
        layer = static_cast<int>(*integer);
    } else if (name == "fft") {
        if (!integer || !IsFFTSize(*integer))
            return bad("Ожидается 16, 64, 256, 1024, 4096, 16384 или 65536.");
        fftSize = static_cast<int>(*integer);
    } else if (name == "sonel") {
        if (!number || !pasfilm::SizeInRange(*number)) return bad("Ожидается число от 1e-30 до 1e+30 (Гц).");
        sonelFreqHz = *number;
    } else if (name == "step") {
        if (!integer || *integer < 1 || *integer > 2147483647)
            return bad("Ожидается целое число не меньше 1.");
        stepSamples = static_cast<int>(*integer);
    } else if (name == "preset") {
        if (value == "optimal") {
            preset = Preset::Optimal;
        } else if (value == "articulation") {
            preset = Preset::Articulation;
        } else if (value == "voice") {
            preset = Preset::Voice;
        } else {
            return bad("Ожидается optimal, articulation или voice.");
        }
    } else if (name == "mode") {
        if (value == "amplitude") {
            mode = sonogram::kModeAmplitude;
        } else if (value == "am") {
            mode = sonogram::kModeAM;
        } else if (value == "inverted") {
            mode = sonogram::WithInversionToggled(sonogram::kModeAmplitude);
        } else {
            return bad("Ожидается amplitude, am или inverted.");
        }
    } else if (name == "upper" || name == "lower" || name == "fgt-upper" || name == "fgt-lower") {
        if (!number) return bad("Ожидается число (дБ).");
        if (name == "upper") upperLevel = *number;
        if (name == "lower") lowerLevel = *number;
        if (name == "fgt-upper") fgtUpperLevel = *number;
        if (name == "fgt-lower") fgtLowerLevel = *number;
    } else if (name == "start" || name == "end") {
        if (!number || *number < 0.0) return bad("Ожидается число секунд не меньше 0.");
        (name == "start" ? startSeconds : endSeconds) = *number;
    } else if (name == "fgt-p") {
        // The range the P dialog accepts.
        if (!number || *number < 1e-6 || *number > 1e6) return bad("Ожидается число от 0.000001 до 1000000.");
        fgtP = *number;
    } else if (name == "width") {
        if (!integer || *integer < 1 || *integer > Renderer::kMaxSide)
            return bad("Ожидается целое число от 1 до " + std::to_string(Renderer::kMaxSide) + ".");
        width = static_cast<int>(*integer);
    } else if (name == "data") {
        if (EndsWith(value, ".csv")) {
            dataFormat = DataFormat::Csv;
        } else if (EndsWith(value, ".npy")) {
            dataFormat = DataFormat::Npy;
        } else {
            return bad("Ожидается имя файла .csv или .npy.");
        }
        dataFile = value;
    } else if (name == "fgt-data") {
        if (!EndsWith(value, ".csv")) return bad("Ожидается имя файла .csv.");
        fgtDataFile = value;
    } else if (name == "compression") {
        if (!integer || *integer < 0 || *integer > 9) return bad("Ожидается число от 0 до 9.");
        compression = static_cast<int>(*integer);
    }
    return true;
}

std::string RenderOptions::VersionText() { return std::string("fonavid-render ") + FONAVID_VERSION + "\n"; }

std::string RenderOptions::HelpText() {
    return "Использование: fonavid-render ВХОД.wav -o ВЫХОД.png [параметры]\n"
           "\n"
           "Рисует сонограмму WAVE-файла (и, по желанию, его FGT) и записывает картинку в PNG-файл\n"
           "точно такой, какой её показывают панели Fonavid при тех же настройках. Дисплей не нужен.\n"
           "Сонограмма занимает N/2 + 1 строк (строка над изображением и N/2 частотных строк),\n"
           "по одному столбцу на шаг; FGT, если задано, рисуется над ней, как в верхней панели.\n"
           "\n"
           "Параметры:\n"
           "  -o, --output=ФАЙЛ      выходной PNG-файл (обязателен); - значит стандартный вывод.\n"
           "                         Существующий файл заменяется, только когда новая картинка\n"
           "                         готова; папка, устройство, канал, сокет и сам входной файл\n"
           "                         не заменяются\n"
           "      --channel=К        канал: 1 (левый, по умолчанию) или 2 (правый)\n"
           "      --layer=С          частотный слой 0..7 (по умолчанию 0); для слоя выше 0\n"
           "                         децимированные сигналы рассчитываются\n"
           "      --fft=N            размер БПФ: 16, 64, 256, 1024 (по умолчанию), 4096, 16384, 65536\n"
           "      --sonel=ГЦ         размер сонела по частоте, Гц\n"
           "      --step=ОТСЧЕТЫ     шаг столбцов в отсчетах слоя\n"
           "      --preset=ИМЯ       сетка ФАС-фильма: optimal, articulation или voice\n"
           "                         (без этих параметров слой 0 канала 1 рисуется с сеткой панели;\n"
           "                         другой слой начинается с сетки optimal, как в диалоге ФАС-фильма,\n"
           "                         и шаг не превышает длины сонела)\n"
           "      --mode=РЕЖИМ       amplitude (по умолчанию), am или inverted\n"
           "      --upper=ДБ         верхний уровень визуализации (по умолчанию 0)\n"
           "      --lower=ДБ         нижний уровень визуализации (по умолчанию -20·lg(2^бит))\n"
           "      --hq               данные для сонограммы повышенного качества (аналитический\n"
           "                         сигнал); оба уровня, заданные или по умолчанию, поднимаются\n"
           "                         на 10·ln 2 = 6.931 дБ, как это делает команда панели\n"
           "      --start=С          начало диапазона времени, секунды (по умолчанию 0)\n"
           "      --end=С            конец диапазона времени, секунды (по умолчанию конец файла)\n"
           "      --fgt              рассчитать и нарисовать FGT (слой 0, канал 1) над сонограммой,\n"
           "                         курсор времени в середине диапазона\n"
           "      --fgt-p=P          параметр P FGT (по умолчанию 2)\n"
           "      --fgt-upper=ДБ     верхний уровень FGT (по умолчанию 50)\n"
           "      --fgt-lower=ДБ     нижний уровень FGT (по умолчанию 0)\n"
           "      --width=ТОЧКИ      не больше стольких столбцов: шаг столбцов выбирается так, чтобы\n"
           "                         диапазон времени уместился (сонел прежний, шаг не меньше\n"
           "                         отсчета); выбранный шаг выводится в стандартный поток ошибок.\n"
           "                         Не сочетается с --step\n"
           "      --data=ФАЙЛ.csv    уровни сонограммы, дБ: строка на столбец, сначала его время, с,\n"
           "                         затем уровни строк от строки 0; первая строка файла называет\n"
           "                         частоту каждой строки, Гц; десятичная точка в любой локали\n"
           "      --data=ФАЙЛ.npy    те же уровни матрицей NumPy (float32, столбцы × строки);\n"
           "                         времена столбцов и частоты строк (float64) рядом в файлах\n"
           "                         ФАЙЛ.times.npy и ФАЙЛ.frequencies.npy\n"
           "      --fgt-data=ФАЙЛ.csv  уровни FGT на картинке (с --fgt): строка на значение,\n"
           "                         row,frequency_hz,time_s,level_db\n"
           "      --axes             оси времени и частоты и шкала уровней вокруг картинки;\n"
           "                         сама картинка внутри рамки не меняется\n"
           "      --compression=К    степень сжатия PNG 0..9 (по умолчанию 1: быстро)\n"
           "      --quiet            не выводить ход расчетов\n"
           "  -h, --help             эта справка\n"
           "      --version          версия программы\n"
           "\n"
           "Ход долгих расчетов выводится в стандартный поток ошибок, как и сообщения об ошибках.\n"
           "Код завершения 0 при успехе, 1 при любой ошибке; при ошибке ничего не записывается:\n"
           "файлы данных, как и картинка, пишутся, только когда весь расчет удался.\n";
}
