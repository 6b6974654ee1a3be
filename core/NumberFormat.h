// Numbers as the program writes them in messages, read-outs and files:
// printf's "%.<decimals>f" with a decimal point, whatever the user's locale.
#pragma once

#include <string>

#include "FonacoreApi.h"

namespace number {

// "%.<decimals>f" in the C locale, rounded as printf rounds (exact ties go to
// even). Empty only when the text would not fit 400 characters.
FONACORE_API std::string Fixed(double value, int decimals);

// Fixed(value, decimals) appended to `text`, without a string of its own.
FONACORE_API void AppendFixed(std::string& text, double value, int decimals);

// Room that WriteFixed needs after `at`.
constexpr int kMaxFixedChars = 400;

// Fixed(value, decimals) written at `at`, which has room for kMaxFixedChars
// characters (some past the text may be overwritten); returns the end of
// the text. The form for files of millions of numbers, written into one
// buffer.
FONACORE_API char* WriteFixed(char* at, double value, int decimals);

}  // namespace number
