#pragma once
// A number of the free-form reader, sign x digits x 10^exp, as a double.

// digits: n (1..40) decimal digits, the first not '0', not NUL-ended. The
// result is the correctly rounded double, as the platform's strtod gives it
// for the text "-digits" "e" "exp"; overflow gives an infinity, underflow a
// subnormal or zero. errno is left as it was.
double decimal_to_double(bool neg, const char* digits, int n, long long exp);
