#include "NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace number {

namespace {

constexpr int kFastDecimals = 9;
constexpr double kPowers[kFastDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// Below 2^40 the product value · 10^decimals is off by at most 2^-13 from
// the exact one, so a fraction farther than this from one half rounds the
// same way as the exact product.
constexpr double kFastLimit = 1099511627776.0;
constexpr double kTieMargin = 1e-3;

// Writes the digits of `value` rounded to `decimals` when the rounding is
// certain from the product alone; false for the rest (near ties, huge or
// not finite values), which go to the exact conversion.
bool AppendCertain(std::string& text, double value, int decimals) {
    if (decimals < 0 || decimals > kFastDecimals) return false;
    const double scaled = std::fabs(value) * kPowers[decimals];
    // Also false for a value that is not a number or infinite.
    if (!(scaled < kFastLimit)) return false;
    // Truncation is the floor here, and the fraction is exact.
    const uint64_t whole = static_cast<uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) <= kTieMargin) return false;
    uint64_t rest = whole + (fraction > 0.5 ? 1 : 0);
    char digits[32];
    char* const end = digits + sizeof digits;
    char* at = end;
    for (int i = 0; i < decimals; ++i) {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    if (decimals > 0) *--at = '.';
    do {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    // printf keeps the sign of a negative value that rounds to zero, and of -0.
    if (std::signbit(value)) *--at = '-';
    text.append(at, static_cast<size_t>(end - at));
    return true;
}

}  // namespace

void AppendFixed(std::string& text, double value, int decimals) {
    if (AppendCertain(text, value, decimals)) return;
    // std::to_chars ignores the locale and rounds exactly as printf does.
    char buffer[400];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec == std::errc()) text.append(buffer, static_cast<size_t>(result.ptr - buffer));
}

std::string Fixed(double value, int decimals) {
    std::string text;
    AppendFixed(text, value, decimals);
    return text;
}

}  // namespace number
