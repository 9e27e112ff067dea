// The property check of the fuzz targets: a violated property aborts with
// the line, which libFuzzer reports as a crash with its input.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzPropertyViolated(const char* file, int line)
{
    std::fprintf(stderr, "property violated at %s:%d\n", file, line);
    std::abort();
}

#define Require(ok) ((ok) ? (void)0 : FuzzPropertyViolated(__FILE__, __LINE__))
