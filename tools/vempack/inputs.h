// The files that create, archive and build store: command-line operands
// expanded into one input per regular file, each with the levels of the name
// it is stored under, in an order that does not depend on the file system.
#pragma once

#include <string>
#include <vector>

namespace vempack {

// An operand split into the name it asks for and the host path.
struct InputArgument {
    // Empty when the operand gives none (a plain PATH).
    std::string name;
    bool named = false;
    std::string path;
};

// "NAME=PATH" stores PATH under NAME (split at the first '='); a plain PATH
// is stored under its own name.
InputArgument parseInputArgument(const std::string& argument);

struct InputFile {
    // The stored name's levels as the host spells them (UTF-8), before any
    // conversion. With raw names a NAME= is one level, byte for byte.
    std::vector<std::string> levels;
    // Where to read the file.
    std::string path;
};

// The files a run writes, which it must not read as its inputs.
struct OutputPaths {
    // Left out with a notice: a setup built into an input folder would
    // otherwise be packed into the next build.
    std::string output;
    // Left out silently: this run's own temporary file.
    std::string temporary;
};

// Expands the operands in command-line order:
//   FILE       stored under its base name
//   NAME=FILE  stored under NAME ('/' or '\' between levels)
//   DIR        every regular file below DIR, under DIR's name as first level
//   DIR/       the same without DIR's name (the contents only)
//   NAME=DIR   the contents under NAME
// A directory's files come sorted by their path's bytes, level by level.
// Symbolic links to regular files count as those files; links to
// directories are skipped with a notice, and so is a directory without any
// file below it; other special files are refused. A host name holding a
// backslash is refused: Windows would read it as two levels.
std::vector<InputFile> collectInputs(const std::vector<std::string>& operands, bool rawNames,
                                     const OutputPaths& leaveOut = {});

} // namespace vempack
