// Elementary functions computed the same, to the last bit, in the plug-in and in the native build.
#pragma once

// The two C libraries (msvcrt and glibc) disagree in the last bit of sin, cos, exp, log and pow for some
// arguments, and the effect rounds their results to float or truncates them to integers, so one differing bit
// could change a frame. These are computed from IEEE basic operations only.
double ExactSin(double x);
double ExactCos(double x);
double ExactAtan2(double y, double x);
double ExactExp(double x);
double ExactLog(double x);
double ExactPow(double x, double y);
