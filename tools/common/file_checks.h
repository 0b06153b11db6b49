#pragma once
// The checks a stand-in makes of its input and output files before anything runs, each giving a
// message that names the path.
#include <string>

namespace standin {

// Empty when `path` names a non-empty regular file that can be read; otherwise a message that
// names the path ("input file does not exist: ...", "input file is empty: ...").
std::string InputFileProblem(const std::string& path);

// Empty when the folder that would hold `path` exists; otherwise a message naming it.
std::string OutputFolderProblem(const std::string& path);

// True when both paths name the same existing file (through links or different spellings).
bool IsSameFile(const std::string& a, const std::string& b);

// The checks of a one-input, one-output conversion: a readable input, an existing output folder,
// and an output that is not the input itself. Empty when all hold; otherwise the first problem.
std::string ConversionFileProblem(const std::string& input, const std::string& output);

// The whole of a text file that a person or a tool hands over (a script, a settings or subtitle
// file). Throws std::runtime_error naming the file when it cannot be read or holds more than
// `maxBytes`: such a file is not what it claims to be, and it is not taken into memory.
std::string ReadBoundedFile(const std::string& path, size_t maxBytes, const std::string& what);

}  // namespace standin
