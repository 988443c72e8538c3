// Expands files and directories into the inputs to store.
#include "inputs.h"

#include "commands.h"
#include "error.h"
#include "host_files.h"
#include "names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vempack {
namespace {

namespace fs = std::filesystem;

std::string quotedPath(const std::string& path) {
    return "'" + path + "'";
}

// The name of a host file, which becomes one level.
std::string hostLevel(const std::string& path, const std::string& name) {
    if (name.find('\\') != std::string::npos) {
        refuse("cannot store " + quotedPath(path) +
               ": its name holds a backslash, which Windows reads as a level separator; "
               "rename it, or store it as NAME=FILE");
    }
    return name;
}

[[noreturn]] void refuseSpecial(const std::string& path) {
    refuse("cannot store " + quotedPath(path) +
           ": it is not a regular file or a directory (the archive holds files only)");
}

class Collector {
  public:
    Collector(std::vector<InputFile>& out, const OutputPaths& leaveOut)
        : out_(out), leaveOut_(leaveOut) {}

    void addFile(std::vector<std::string> levels, const std::string& path) {
        if (isSameFile(path, leaveOut_.temporary)) {
            return;
        }
        if (isSameFile(path, leaveOut_.output)) {
            notice("leaving out " + quotedPath(path) + ": it is the output file");
            return;
        }
        out_.push_back({std::move(levels), path});
    }

    // Adds every file below `directory` under `levels`; the count of files.
    std::size_t addDirectory(const std::string& directory, std::vector<std::string>& levels) {
        std::vector<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(hostPath(directory), error), end; !error && it != end;
             it.increment(error)) {
            names.push_back(hostText(it->path().filename()));
        }
        if (error) {
            fail("cannot read the directory " + quotedPath(directory) + ": " + error.message());
        }
        // Bytes order, whatever order the file system lists them in.
        std::sort(names.begin(), names.end());
        std::size_t files = 0;
        for (const std::string& name : names) {
            const std::string path = hostText(hostPath(directory) / hostPath(name));
            levels.push_back(hostLevel(path, name));
            files += addBelow(path, levels);
            levels.pop_back();
        }
        return files;
    }

    // Directories with no file below them, the outermost of each only.
    std::vector<std::string> emptyDirectories;

  private:
    std::size_t addBelow(const std::string& path, std::vector<std::string>& levels) {
        std::error_code error;
        const fs::file_status own = fs::symlink_status(hostPath(path), error);
        if (error) {
            fail("cannot read " + quotedPath(path) + ": " + error.message());
        }
        if (fs::is_symlink(own)) {
            const fs::file_status target = fs::status(hostPath(path), error);
            if (error || !fs::exists(target)) {
                refuse("cannot store " + quotedPath(path) + ": it is a symbolic link to nothing");
            }
            if (fs::is_directory(target)) {
                notice("skipping " + quotedPath(path) +
                       ", a symbolic link to a directory (such links are not followed)");
                return 0;
            }
            if (!fs::is_regular_file(target)) {
                refuseSpecial(path);
            }
            addFile(levels, path);
            return 1;
        }
        if (fs::is_directory(own)) {
            const std::size_t before = emptyDirectories.size();
            const std::size_t files = addDirectory(path, levels);
            if (files == 0) {
                emptyDirectories.resize(before);
                emptyDirectories.push_back(path);
            }
            return files;
        }
        if (!fs::is_regular_file(own)) {
            refuseSpecial(path);
        }
        addFile(levels, path);
        return 1;
    }

    static bool isSameFile(const std::string& path, const std::string& other) {
        std::error_code error;
        return !other.empty() && fs::equivalent(hostPath(path), hostPath(other), error) && !error;
    }

    std::vector<InputFile>& out_;
    const OutputPaths& leaveOut_;
};

// The levels a directory operand's contents go under.
std::vector<std::string> directoryLevels(const InputArgument& argument, bool rawNames) {
    if (argument.named) {
        if (rawNames) {
            return {argument.name};
        }
        // "plugins/=DIR" means what "plugins=DIR" means.
        std::string name = argument.name;
        while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) {
            name.pop_back();
        }
        return givenNameLevels(name);
    }
    if (!argument.path.empty() && argument.path.back() == '/') {
        return {};
    }
    const std::string base = hostText(hostPath(argument.path).filename());
    if (base == "." || base == "..") {
        refuse("cannot store the directory " + quotedPath(argument.path) + " under the name \"" +
               base + "\"; give " + quotedPath(argument.path + "/") +
               " to store its contents, or NAME=" + argument.path);
    }
    return {hostLevel(argument.path, base)};
}

} // namespace

InputArgument parseInputArgument(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    if (equals != std::string::npos) {
        return {argument.substr(0, equals), true, argument.substr(equals + 1)};
    }
    return {std::string(), false, argument};
}

std::vector<InputFile> collectInputs(const std::vector<std::string>& operands, bool rawNames,
                                     const OutputPaths& leaveOut) {
    std::vector<InputFile> inputs;
    Collector collector(inputs, leaveOut);
    for (const std::string& operand : operands) {
        const InputArgument argument = parseInputArgument(operand);
        std::error_code error;
        // An operand is followed wherever it links to: the user named it.
        const fs::file_status status = fs::status(hostPath(argument.path), error);
        if (error) {
            fail("cannot read " + quotedPath(argument.path) + ": " + error.message());
        }
        if (fs::is_directory(status)) {
            std::vector<std::string> levels = directoryLevels(argument, rawNames);
            collector.emptyDirectories.clear();
            if (collector.addDirectory(argument.path, levels) == 0) {
                collector.emptyDirectories = {argument.path};
            }
            for (const std::string& empty : collector.emptyDirectories) {
                notice("skipping the empty directory " + quotedPath(empty) +
                       " (the archive format has no directory entries)");
            }
        } else if (fs::is_regular_file(status)) {
            if (argument.named) {
                collector.addFile(rawNames ? std::vector<std::string>{argument.name}
                                           : givenNameLevels(argument.name),
                                  argument.path);
            } else {
                const std::string base = hostText(hostPath(argument.path).filename());
                collector.addFile({hostLevel(argument.path, base)}, argument.path);
            }
        } else {
            refuseSpecial(argument.path);
        }
    }
    return inputs;
}

} // namespace vempack
