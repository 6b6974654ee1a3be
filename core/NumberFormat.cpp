#include "NumberFormat.h"

#include <charconv>

namespace number {

std::string Fixed(double value, int decimals) {
    // std::to_chars ignores the locale and rounds exactly as printf does.
    char buffer[400];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return std::string();
    return std::string(buffer, result.ptr);
}

}  // namespace number
