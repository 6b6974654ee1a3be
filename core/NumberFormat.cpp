#include "NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace number {

namespace {

constexpr int kFastDecimals = 9;
constexpr double kPowers[kFastDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// Below 2^40 the product value · 10^decimals is off by at most 2^-13 from
// the exact one, so a fraction farther than this from one half rounds the
// same way as the exact product.
constexpr double kFastLimit = 1099511627776.0;
constexpr double kTieMargin = 1e-3;

// Two digits at a time: "00" to "99".
constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";
// 10^n, to count the digits of a whole number below 2^40.
constexpr uint64_t kWholePowers[] = {1,           10,           100,           1000,          10000,
                                     100000,      1000000,      10000000,      100000000,     1000000000,
                                     10000000000, 100000000000, 1000000000000, 10000000000000};

void PutPair(char*& at, uint64_t pair) {
    at -= 2;
    std::memcpy(at, kDigitPairs + 2 * pair, 2);
}

// Writes the digits of `value` rounded to `decimals` when the rounding is
// certain from the product alone; nullptr for the rest (near ties, huge or
// not finite values), which go to the exact conversion.
char* WriteCertain(char* out, double value, int decimals) {
    if (decimals < 0 || decimals > kFastDecimals) return nullptr;
    const double scaled = std::fabs(value) * kPowers[decimals];
    // Also false for a value that is not a number or infinite.
    if (!(scaled < kFastLimit)) return nullptr;
    // Truncation is the floor here, and the fraction is exact.
    const uint64_t whole = static_cast<uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole);
    if (std::fabs(fraction - 0.5) <= kTieMargin) return nullptr;
    uint64_t rest = whole + (fraction > 0.5 ? 1 : 0);
    // The length first, so that the digits go straight to their places from
    // the last: at least one digit before the point.
    int digits = 1;
    while (digits < decimals + 1 || (digits < 13 && rest >= kWholePowers[digits])) ++digits;
    const bool negative = std::signbit(value);
    char* const end = out + negative + digits + (decimals > 0);
    char* at = end;
    int written = 0;
    for (; written + 2 <= decimals; written += 2, rest /= 100) PutPair(at, rest % 100);
    if (written < decimals) {
        *--at = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    if (decimals > 0) *--at = '.';
    for (; rest >= 100; rest /= 100) PutPair(at, rest % 100);
    if (rest >= 10)
        PutPair(at, rest);
    else
        *--at = static_cast<char>('0' + rest);
    // printf keeps the sign of a negative value that rounds to zero, and of -0.
    if (negative) *--at = '-';
    return end;
}

}  // namespace

char* WriteFixed(char* at, double value, int decimals) {
    if (char* const end = WriteCertain(at, value, decimals)) return end;
    // std::to_chars ignores the locale and rounds exactly as printf does.
    const std::to_chars_result result =
        std::to_chars(at, at + kMaxFixedChars, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? result.ptr : at;
}

void AppendFixed(std::string& text, double value, int decimals) {
    char buffer[kMaxFixedChars];
    text.append(buffer, static_cast<size_t>(WriteFixed(buffer, value, decimals) - buffer));
}

std::string Fixed(double value, int decimals) {
    std::string text;
    AppendFixed(text, value, decimals);
    return text;
}

}  // namespace number
