// Room for the destination folder in front of an entry name.
#include "name_room.h"

#include "commands.h"
#include "error.h"

namespace vempack {

long destinationRoom(std::size_t nameLength) {
    return static_cast<long>(kMaxPathLength) - static_cast<long>(nameLength);
}

void checkNameRoom(const std::string& stored, const std::string& shown, const std::string& path) {
    const long room = destinationRoom(stored.size());
    const std::string what =
        "\"" + shown + "\" ('" + path + "') is " + std::to_string(stored.size()) + " characters";
    if (room < static_cast<long>(kShortestDestinationLength)) {
        refuse("cannot store " + what +
               ": no folder could hold it, as even below a drive's root "
               "(C:\\) its path would be over " +
               std::to_string(kMaxPathLength) + " characters");
    }
    if (room < static_cast<long>(kUsualWorkDirectoryLength)) {
        warn(what + ", which leaves " + std::to_string(room) +
             " characters for the folder it is unpacked into; a usual work directory "
             "(C:\\Users\\<name>\\AppData\\Local\\Temp\\vemXXXX.tmp\\) takes about " +
             std::to_string(kUsualWorkDirectoryLength) + ", so extracting there would fail");
    }
}

} // namespace vempack
