// Runs the vempack program for the packer tests, its output captured.
#pragma once

#include <string>
#include <vector>

#include "process.h"
#include "temp_dir.h"

namespace vempack_test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the packer at `program` with `args`; its output passes through files
// in `scratch`.
inline RunResult runPacker(const ScopedTempDir& scratch, const std::string& program,
                           const std::vector<std::string>& args) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string out = scratch / "vempack.stdout";
    const std::string err = scratch / "vempack.stderr";
    removeTree(out);
    removeTree(err);
    RunResult result;
    result.status = runProcess(argv, nullptr, out, err).exitCode;
    const Bytes outBytes = readBytes(out);
    const Bytes errBytes = readBytes(err);
    result.out.assign(outBytes.begin(), outBytes.end());
    result.err.assign(errBytes.begin(), errBytes.end());
    return result;
}

// Runs the vempack of this build.
inline RunResult runVempack(const ScopedTempDir& scratch, const std::vector<std::string>& args) {
    return runPacker(scratch, VEMPACK_PATH, args);
}

} // namespace vempack_test
