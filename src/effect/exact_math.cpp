// Elementary functions from IEEE basic operations only (placeholder: the C library's, until replaced).
#include "effect/exact_math.h"

#include <cmath>

double ExactSin(double x) { return std::sin(x); }
double ExactCos(double x) { return std::cos(x); }
double ExactAtan2(double y, double x) { return std::atan2(y, x); }
double ExactExp(double x) { return std::exp(x); }
double ExactLog(double x) { return std::log(x); }
double ExactPow(double x, double y) { return std::pow(x, y); }
