// The program's one end: from any thread, with the code given, output flushed; the handler first.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "runtime/os/program_end.h"
#include "tests/support/test_support.h"

namespace {

struct Ended {
    int code;
};

class ProgramEnd : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    void TearDown() override { rt::setProgramEndHandler({}); }
};

TEST_F(ProgramEnd, EndsTheWholeProcessFromAnotherThreadWithItsCode) {
    for (int code : {0, 1, 3, 70}) {
        EXPECT_EXIT(
            {
                std::thread t([code] { rt::endProgram(code); });
                t.join();
                std::fputs("still running\n", stderr);
                std::_Exit(99);
            },
            ::testing::ExitedWithCode(code), "^$")
            << code;
    }
}

TEST_F(ProgramEnd, BufferedOutputIsWrittenBeforeTheEnd) {
    // The child is forked, not started anew, so that it writes into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    voq::test::TempDir dir;
    const std::string file = dir.file("out.txt");
    EXPECT_EXIT(
        {
            if (!std::freopen(file.c_str(), "w", stdout)) std::_Exit(98);
            std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
            std::fputs("last words", stdout);
            rt::endProgram(2);
        },
        ::testing::ExitedWithCode(2), "");
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "last words");
}

TEST_F(ProgramEnd, AHandlerThatThrowsGetsItsThreadBack) {
    std::atomic<int> seen{-1};
    rt::setProgramEndHandler([&](int code) {
        seen = code;
        throw Ended{code};
    });
    int caught = -1;
    std::thread t([&] {
        try {
            rt::endProgram(5);
        } catch (const Ended& e) {
            caught = e.code;
        }
    });
    t.join();
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(caught, 5);
}

TEST_F(ProgramEnd, AHandlerThatReturnsIsFollowedByTheEnd) {
    EXPECT_EXIT(
        {
            rt::setProgramEndHandler([](int code) { std::fprintf(stderr, "closing with %d\n", code); });
            rt::endProgram(4);
        },
        ::testing::ExitedWithCode(4), "closing with 4");
}

TEST_F(ProgramEnd, SettingGivesThePreviousHandlerAndEmptyRestoresThePlainEnd) {
    rt::setProgramEndHandler([](int) { throw std::runtime_error("first"); });
    rt::ProgramEndHandler previous = rt::setProgramEndHandler({});
    ASSERT_TRUE(previous);
    EXPECT_THROW(previous(0), std::runtime_error);
    EXPECT_EXIT(rt::endProgram(6), ::testing::ExitedWithCode(6), "");
}

}  // namespace
