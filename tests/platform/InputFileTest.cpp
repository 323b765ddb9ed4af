#include "platform/InputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

class InputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() / ("inputfile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = (m_folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::filesystem::path m_folder;
};

TEST_F(InputFileTest, ReadsARegularFileWholeIncludingNulBytes) {
    const std::string text("a\0b\nc", 5);
    std::string content, error;
    ASSERT_TRUE(ReadInputFile(Write("f.txt", text), 100, content, error)) << error;
    EXPECT_EQ(content, text);
}

TEST_F(InputFileTest, RefusesWhatIsNotARegularFileSayingWhatItIs) {
    std::string content, error;
    EXPECT_FALSE(ReadInputFile(m_folder.string(), 100, content, error));
    EXPECT_EQ(error, "is a folder, not a file");

    const auto fifo = (m_folder / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadInputFile(fifo, 100, content, error));
    EXPECT_EQ(error, "is a pipe (FIFO), not a file");

    EXPECT_FALSE(ReadInputFile("/dev/zero", 100, content, error));
    EXPECT_EQ(error, "is a device, not a file");

    EXPECT_FALSE(ReadInputFile((m_folder / "missing").string(), 100, content, error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST_F(InputFileTest, RefusesAFileOverTheLimitAndAcceptsOneAtIt) {
    std::string content, error;
    const auto path = Write("big.txt", std::string(2048, 'x'));
    EXPECT_FALSE(ReadInputFile(path, 2047, content, error));
    EXPECT_EQ(error, "is 2048 bytes, over the 2047 bytes limit for this kind of file");
    EXPECT_TRUE(ReadInputFile(path, 2048, content, error)) << error;
    EXPECT_EQ(content.size(), 2048u);
}

}  // namespace
