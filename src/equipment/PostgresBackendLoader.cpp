// Finds and opens the PostgreSQL engine's library (CatalogueConnection.h
// says why it is a library of its own).
#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "equipment/CatalogueConnection.h"

namespace jdsql {

namespace {

// The engines opened so far, by path; never closed.
std::mutex g_backendsMutex;
std::map<std::string, OpenPostgresBackendFn>& Backends() {
    static std::map<std::string, OpenPostgresBackendFn> backends;
    return backends;
}

// Any object of this library: dladdr names the file that holds it.
const char g_anchor = 0;

// The caller's report names the catalogue; this says what is missing.
[[noreturn]] void CannotLoad(const std::string& why) {
    throw Error(PackSqlState("08001"), why + "; catalogue files (SQLite) work without it");
}

}  // namespace

std::string EquipmentLibraryFolder() {
    Dl_info info{};
    if (dladdr(&g_anchor, &info) == 0 || !info.dli_fname || !*info.dli_fname) return ".";
    std::error_code ec;
    std::filesystem::path library = std::filesystem::absolute(info.dli_fname, ec);
    if (ec) library = info.dli_fname;
    const std::filesystem::path folder = library.parent_path();
    return folder.empty() ? "." : folder.string();
}

std::unique_ptr<ConnectionImpl> OpenPostgresFrom(const std::string& folder, const std::string& uri, OpenMode mode) {
    const std::string path = folder + "/" + kPostgresBackendFile;
    const std::string shownUri = RedactTarget(uri);
    OpenPostgresBackendFn open = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_backendsMutex);
        auto found = Backends().find(path);
        if (found != Backends().end()) {
            open = found->second;
        } else {
            std::error_code ec;
            if (!std::filesystem::exists(path, ec)) {
                CannotLoad("the PostgreSQL engine " + std::string(kPostgresBackendFile) +
                                         " is not installed in " + folder);
            }
            dlerror();
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                CannotLoad("the PostgreSQL engine " + path + " cannot be loaded: " +
                                         (why ? why : "unknown reason") +
                                         "; it needs the PostgreSQL client library libpq (package libpq5)");
            }
            open = reinterpret_cast<OpenPostgresBackendFn>(dlsym(handle, kPostgresBackendEntry));
            if (!open) {
                dlclose(handle);
                CannotLoad(path + " is not a PostgreSQL engine this library can use (it does not export " +
                                         kPostgresBackendEntry + ": built from another version?)");
            }
            Backends().emplace(path, open);
        }
    }
    return std::unique_ptr<ConnectionImpl>(open(uri.c_str(), shownUri.c_str(), static_cast<int>(mode)));
}

std::unique_ptr<ConnectionImpl> OpenPostgres(const std::string& uri, OpenMode mode) {
    return OpenPostgresFrom(EquipmentLibraryFolder(), uri, mode);
}

}  // namespace jdsql
