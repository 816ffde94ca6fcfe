#pragma once
// Failures checked by their code, their values in the order of the template's placeholders (the
// arguments a screen fills into a translated sentence) and the sentence they make.

#include "textio/expected.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tamso::test {

struct ErrorCase {
    const char* what;
    std::function<Status()> run;
    ErrorCode code;
    std::vector<std::string> args;
    const char* message;
};

template <size_t N> void expectErrorCases(const ErrorCase (&cases)[N]) {
    for (const ErrorCase& c : cases) {
        const Status status = c.run();
        ASSERT_FALSE(status.ok()) << c.what;
        EXPECT_EQ(status.error().code, c.code) << c.what << ": " << status.message();
        EXPECT_EQ(status.error().args, c.args) << c.what;
        EXPECT_EQ(status.message(), c.message) << c.what;
    }
}

} // namespace tamso::test
