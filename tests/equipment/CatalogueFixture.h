#pragma once
// Test support for the equipment library: temporary folders, environment
// variables set for one test, a fresh catalogue built from the shipped seed,
// and the message boxes and traces the library produced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "platform/CString.h"
#include "platform/Gbk.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"

namespace jdtest {

// A folder under /tmp removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets (or with nullopt unsets) an environment variable until destroyed.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

std::string SeedDirectory();                 // the source tree's data/
std::string ReadFile(const std::string& path);
// Rows of a seed CSV (header dropped), fields as text ("" for empty).
std::vector<std::vector<std::string>> SeedRows(const std::string& fileName);

// Each test gets a new catalogue built from the seed in a folder of its own,
// named as the process-wide catalogue path, and a message service that
// records every box. Traces are cleared before the test.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::vector<MessageBoxRecord>& Boxes() const { return m_messages.Records(); }
    // Number of boxes with the stop icon.
    int StopBoxes() const;
    bool TraceContains(const std::string& text) const;

    std::unique_ptr<TempDir> m_dir;
    std::string m_catalogue;
    HeadlessMessageService m_messages;
    std::unique_ptr<MessageServiceScope> m_messageScope;
};

// UTF-8 literal to GBK.
inline CString G(const char* utf8) { return FromUtf8(utf8); }

}  // namespace jdtest
