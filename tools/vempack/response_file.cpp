// Reads response files into command-line arguments.
#include "response_file.h"

#include "error.h"
#include "host_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace vempack {
namespace {

namespace fs = std::filesystem;

// Options whose value is a host path.
constexpr const char* kPathOptions[] = {"-o", "--output", "--stub", "--payload", "--icon"};

bool isPathOption(const std::string& name) {
    return std::find_if(std::begin(kPathOptions), std::end(kPathOptions), [&](const char* option) {
               return name == option;
           }) != std::end(kPathOptions);
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

class Reader {
  public:
    Reader(const std::string& file, std::vector<std::string>& out)
        : folder_(hostPath(file).parent_path()), out_(out) {}

    void line(const std::string& text) {
        if (text.empty() || text[0] == '#') {
            return;
        }
        if (optionsEnded_ || text[0] != '-' || text.size() < 2) {
            addInput(text);
            return;
        }
        if (text == "--") {
            optionsEnded_ = true;
            out_.push_back(text);
            return;
        }
        const std::size_t equals = text.rfind("--", 0) == 0 ? text.find('=') : std::string::npos;
        const std::size_t blank = text.find_first_of(" \t");
        const std::size_t split = std::min(equals, blank);
        if (split == std::string::npos) {
            pathValueNext_ = isPathOption(text);
            out_.push_back(text);
            return;
        }
        const std::string name = text.substr(0, split);
        const std::string value = trimmed(text.substr(split + 1));
        out_.push_back(name);
        out_.push_back(isPathOption(name) ? fromFolder(value) : value);
    }

  private:
    void addInput(const std::string& text) {
        if (pathValueNext_) {
            pathValueNext_ = false;
            out_.push_back(fromFolder(text));
            return;
        }
        if (text[0] == '@') {
            throw UsageError("a response file cannot name another ('" + text + "')");
        }
        // NAME=PATH: only the path is the file's.
        const std::size_t equals = text.find('=');
        out_.push_back(equals == std::string::npos
                           ? fromFolder(text)
                           : text.substr(0, equals + 1) + fromFolder(text.substr(equals + 1)));
    }

    // Joined as text, so that a trailing '/' (a folder's contents) stays.
    std::string fromFolder(const std::string& path) const {
        if (path.empty() || hostPath(path).is_absolute() || folder_.empty()) {
            return path;
        }
        return hostText(folder_) + "/" + path;
    }

    fs::path folder_;
    std::vector<std::string>& out_;
    bool optionsEnded_ = false;
    bool pathValueNext_ = false;
};

} // namespace

std::vector<std::string> expandResponseFiles(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        optionsEnded = optionsEnded || arg == "--";
        // The command comes first and never from a file.
        if (i == 0 || optionsEnded || arg.size() < 2 || arg[0] != '@') {
            out.push_back(arg);
            continue;
        }
        const std::string file = arg.substr(1);
        std::ifstream in(hostPath(file), std::ios::binary);
        if (!in) {
            throw UsageError("cannot read the response file '" + file + "'");
        }
        Reader reader(file, out);
        for (std::string text; std::getline(in, text);) {
            reader.line(trimmed(text));
        }
    }
    return out;
}

} // namespace vempack
