#pragma once
// What the harnesses share: a check that stops the run with a message
// libFuzzer shows beside the input it saves, and a scratch folder that lives
// as long as the fuzzer does (on tmpfs when the machine has one, so that
// saving a map costs no disk writes).
#include <cstdio>
#include <cstdlib>
#include <string>

namespace jdfuzz {

// A property the input broke: the run ends and libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "\n==FUZZ FINDING== %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Must(bool holds, const std::string& what) {
    if (!holds) Fail(what);
}

// A fresh folder, removed with its files when the process ends.
const std::string& ScratchFolder();

// Whole file as bytes; an empty text when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace jdfuzz
