#include "CatalogueFixture.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace jdtest {

namespace {

// Keeps every test of this program away from the real user's catalogue: the
// per-user location points into a folder of our own for the whole run.
class IsolatedUserData : public ::testing::Environment {
public:
    void SetUp() override {
        m_dir = std::make_unique<TempDir>();
        setenv("XDG_DATA_HOME", m_dir->path().c_str(), 1);
        unsetenv("JDHOST_CATALOGUE");
    }
    void TearDown() override { m_dir.reset(); }

private:
    std::unique_ptr<TempDir> m_dir;
};

[[maybe_unused]] ::testing::Environment* const g_isolation =
    ::testing::AddGlobalTestEnvironment(new IsolatedUserData);

}  // namespace

TempDir::TempDir() {
    std::string pattern = "/tmp/jd-equipment-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* previous = std::getenv(name)) m_previous = previous;
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    if (m_previous) {
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    } else {
        unsetenv(m_name.c_str());
    }
}

std::string SeedDirectory() { return std::string(JD_SOURCE_DIR) + "/data"; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::vector<std::string>> SeedRows(const std::string& fileName) {
    const std::vector<jdlib::CsvRecord> records =
        jdlib::ParseCsv(ReadFile(SeedDirectory() + "/seed/" + fileName), fileName);
    std::vector<std::vector<std::string>> rows;
    for (size_t r = 1; r < records.size(); ++r) {
        std::vector<std::string> row;
        for (const jdlib::CsvField& field : records[r].fields) row.push_back(field.value_or(""));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string TestServerUri() {
    std::ifstream state(std::string(JD_BINARY_DIR) + "/postgres-test-server.txt");
    std::string line;
    while (std::getline(state, line)) {
        if (line.rfind("uri=", 0) == 0) return line.substr(4);
    }
    return std::string();
}

std::string TestServerDatabaseUri(const std::string& name) {
    // postgresql:///postgres?host=… → postgresql:///<name>?host=…
    const std::string maintenance = TestServerUri();
    const size_t query = maintenance.find('?');
    return "postgresql:///" + name + (query == std::string::npos ? std::string() : maintenance.substr(query));
}

namespace {

void OnServer(const std::string& sql) {
    jdsql::Connection connection;
    connection.Open(TestServerUri());
    connection.Execute(sql);
}

}  // namespace

std::string FreshServerCatalogue() {
    if (TestServerUri().empty()) return std::string();
    static const std::string prefix = "jdtest_" + std::to_string(getpid());
    static const std::string templateName = [] {
        const std::string name = prefix + "_seed";
        OnServer("DROP DATABASE IF EXISTS " + name);
        OnServer("CREATE DATABASE " + name);
        if (!jdlib::CreateServerCatalogue(TestServerDatabaseUri(name), SeedDirectory())) {
            throw std::runtime_error("the template catalogue existed already");
        }
        return name;
    }();
    static int counter = 0;
    const std::string name = prefix + "_" + std::to_string(++counter);
    OnServer("CREATE DATABASE " + name + " TEMPLATE " + templateName);
    return TestServerDatabaseUri(name);
}

void DropServerCatalogue(const std::string& uri) {
    const size_t start = std::string("postgresql:///").size();
    const std::string name = uri.substr(start, uri.find('?') - start);
    try {
        OnServer("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    } catch (const std::exception&) {
        // The server is thrown away after the run anyway.
    }
}

void CatalogueTest::SetUp() {
    m_dir = std::make_unique<TempDir>();
    if (OnServer()) {
        m_catalogue = FreshServerCatalogue();
        if (m_catalogue.empty()) GTEST_SKIP() << "no PostgreSQL test server runs (scripts/test-postgres)";
    } else {
        m_catalogue = *m_dir / "catalogue.db";
        ASSERT_TRUE(jdlib::CreateCatalogueFile(m_catalogue, SeedDirectory()));
    }
    SetCataloguePath(m_catalogue.c_str());
    m_messageScope = std::make_unique<MessageServiceScope>(m_messages);
    ClearPlatformDiagnostics();
}

void CatalogueTest::TearDown() {
    m_messageScope.reset();
    SetCataloguePath(nullptr);
    if (OnServer() && !m_catalogue.empty()) DropServerCatalogue(m_catalogue);
    m_dir.reset();
}

int CatalogueTest::StopBoxes() const {
    int count = 0;
    for (const MessageBoxRecord& box : m_messages.Records()) {
        if ((box.type & MB_ICONMASK) == MB_ICONSTOP) ++count;
    }
    return count;
}

bool CatalogueTest::TraceContains(const std::string& text) const {
    for (const CString& line : GetPlatformDiagnostics()) {
        if (line.str().find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace jdtest
