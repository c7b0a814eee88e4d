#pragma once

#include <functional>
#include <string>

// Runs a piece of a test as an ordinary user, so that file permissions bind it even when the
// suite runs as root (as CI does), where they would bind nobody.
namespace fixtures {

// Runs `body` in a forked child process. When this process is root, the child first hands
// `folder` and everything in it to the user nobody (65534), then becomes that user (supplementary
// groups, group, user), so that only the modes the test gave the files decide what it may do.
// Otherwise the child runs `body` as it is. `body` returns "" for success or what went wrong;
// RunUnprivileged returns that, or why the child could not run it or did not finish.
std::string RunUnprivileged(const std::string& folder, const std::function<std::string()>& body);

}  // namespace fixtures
