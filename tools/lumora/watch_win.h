// "lumora watch" on Windows: device notifications and polling, the stop
// request, one watch per user, and the start-up entry.
#pragma once

#include <string>
#include <vector>

namespace lumora::tool {

// Runs "lumora watch" with the arguments after "watch"; answers the exit
// status. COM must be initialised (apartment-threaded) on this thread.
int RunWatch(const std::vector<std::string>& args);

}  // namespace lumora::tool
