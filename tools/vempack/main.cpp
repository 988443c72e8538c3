// vempack: packs files into the setup stub's compressed payload, and lists or
// unpacks such payloads.
#include "commands.h"
#include "error.h"
#include "host_files.h"
#include "options.h"
#include "response_file.h"

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

int run(const vempack::CommandLine& line) {
    using vempack::Command;
    switch (line.command) {
    case Command::kCreate:
        return vempack::runCreate(line);
    case Command::kArchive:
        return vempack::runArchive(line);
    case Command::kCompress:
        return vempack::runCompress(line);
    case Command::kList:
        return vempack::runList(line);
    case Command::kExtract:
        return vempack::runExtract(line);
    case Command::kBuild:
        return vempack::runBuild(line);
    case Command::kWinget:
        return vempack::runWinget(line);
    case Command::kNone:
        break;
    }
    std::cout << vempack::helpText(Command::kNone);
    return 0;
}

// `errors` is stderr's own buffer: errors still show when -q has silenced
// std::cerr.
int error(std::streambuf* errors, const std::string& message, int status) {
    std::ostream out(errors);
    out << "vempack: error: " << message << '\n';
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::streambuf* const errors = std::cerr.rdbuf();
    try {
        const vempack::CommandLine line = vempack::parseCommandLine(
            vempack::expandResponseFiles(vempack::commandLineArguments(argc, argv)));
        if (line.help) {
            std::cout << vempack::helpText(line.command);
            return 0;
        }
        if (line.quiet) {
            std::cerr.rdbuf(nullptr);
        }
        return run(line);
    } catch (const vempack::UsageError& e) {
        error(errors, e.what(), e.exitStatus());
        std::ostream(errors) << "Try 'vempack --help' for more information.\n";
        return e.exitStatus();
    } catch (const vempack::ToolError& e) {
        return error(errors, e.what(), e.exitStatus());
    } catch (const std::bad_alloc&) {
        return error(errors, "out of memory", vempack::kExitFailure);
    } catch (const std::exception& e) {
        return error(errors, e.what(), vempack::kExitFailure);
    }
}
