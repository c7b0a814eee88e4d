#include "support/Unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fixtures {

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// In the child: "" when it now runs as nobody, owning `folder`; otherwise why not.
std::string BecomeNobody(const std::string& folder) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (::lchown(it->path().c_str(), kNobody, kNogroup) != 0) return "chown " + it->path().string() + ": " + std::strerror(errno);
    if (error) return "listing " + folder + ": " + error.message();
    if (::lchown(folder.c_str(), kNobody, kNogroup) != 0) return "chown " + folder + ": " + std::strerror(errno);
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)
        return std::string("dropping root: ") + std::strerror(errno);
    if (::geteuid() == 0 || ::setuid(0) == 0) return "still root";
    return {};
}

void WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string RunUnprivileged(const std::string& folder, const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return std::string("pipe: ") + std::strerror(errno);
    const pid_t pid = ::fork();
    if (pid < 0) return std::string("fork: ") + std::strerror(errno);
    if (pid == 0) {
        ::close(fds[0]);
        std::string result = ::geteuid() == 0 ? BecomeNobody(folder) : std::string();
        if (result.empty()) result = body();
        WriteAll(fds[1], result.empty() ? "ok" : result);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string said;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) said.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child did not finish (status " + std::to_string(status) + ")";
    return said == "ok" ? std::string() : said.empty() ? std::string("the child said nothing") : said;
}

}  // namespace fixtures
