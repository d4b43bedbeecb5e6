#include "module_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <vector>

namespace marvek::io {

namespace {

std::vector<std::filesystem::path> ModuleFolders() {
    std::vector<std::filesystem::path> folders;
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) folders.push_back(program.parent_path().parent_path() / "lib" / "marvek");
    // A library loaded by another program (the Python extension) keeps its modules in lib/marvek
    // beside itself.
    Dl_info self{};
    if (::dladdr(reinterpret_cast<const void*>(&ModuleFolders), &self) != 0 && self.dli_fname) {
        const std::filesystem::path library = std::filesystem::absolute(self.dli_fname, ec);
        if (!ec && library != program) folders.push_back(library.parent_path() / "lib" / "marvek");
    }
#ifdef MARVEK_MODULE_BUILD_DIR
    folders.emplace_back(MARVEK_MODULE_BUILD_DIR);
#endif
    return folders;
}

struct Loaded {
    const void* table = nullptr;
    std::string error;
};

Loaded Load(const std::string& name, const char* entry) {
    std::string tried;
    for (const std::filesystem::path& folder : ModuleFolders()) {
        const std::filesystem::path file = folder / (name + ".so");
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) {
            tried += (tried.empty() ? "" : ", ") + file.string();
            continue;
        }
        // Never unloaded: the tables it hands out live as long as the process.
        void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return {nullptr, "cannot load " + file.string() + ": " + ::dlerror()};
        using Entry = const void* (*)();
        auto* function = reinterpret_cast<Entry>(::dlsym(handle, entry));
        if (!function) return {nullptr, file.string() + " has no entry point " + entry};
        return {function(), ""};
    }
    return {nullptr, "the module " + name + ".so is not installed (looked for " + tried + ")"};
}

}  // namespace

const void* LoadModuleTable(const std::string& name, const char* entry, std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, Loaded> modules;
    std::lock_guard lock(mutex);
    auto found = modules.find(name);
    if (found == modules.end()) found = modules.emplace(name, Load(name, entry)).first;
    error = found->second.error;
    return found->second.table;
}

}  // namespace marvek::io
