#include "CliRun.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

using clitest::Cli;

// Sets an environment variable for the lifetime of the object (unsets it for nullptr).
class Environment {
public:
    Environment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~Environment() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(PickCommand, WithoutADisplayReportsFailureAndChoosesNothing) {
    const Environment platform("QT_QPA_PLATFORM", "offscreen"), display("DISPLAY", nullptr),
        wayland("WAYLAND_DISPLAY", nullptr);
    for (const char* option : {"", "--single"}) {
        const auto run = *option ? Cli({"pick", option}) : Cli({"pick"});
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_EQ(run.out, "[]\n") << option;
    }
}

TEST(PickCommand, RejectsUnknownArguments) {
    const auto run = Cli({"pick", "--many"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
}

}  // namespace
