#pragma once
// --help and --version of every program and tool.
#include <string>

namespace varenta {

// "NAME (Varenta) VERSION"
std::string versionLine(const std::string& program);

// The environment variables every program reads, as a help section.
std::string environmentHelp();

// Answers "--help" or "--version" when one of them is among the arguments:
// writes the help (usage, then the environment section) or the version line
// to standard output and returns true; the caller then exits with 0.
bool answerInfoOption(int argc, char** argv, const std::string& program, const std::string& usage);

}  // namespace varenta
