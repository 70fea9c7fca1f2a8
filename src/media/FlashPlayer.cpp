#include "media/FlashPlayer.h"

#include "imaging/PictureItem.h"
#include "media/flash/FlashModule.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"

#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

namespace pictorelle {
namespace {

struct FlashModule {
    PictorelleFlashPrepare* prepare = nullptr;
    PictorelleFlashCreate* create = nullptr;
    PictorelleFlashStop* stop = nullptr;
};

bool gPrepareTried = false;
bool gPrepared = false;

// The module's folder: beside the program (as installed or in the build tree), else where this
// build installs or built it. A show is a copy of the player that may live anywhere, so the
// places this build knows come after the program's own.
std::vector<std::filesystem::path> ModuleCandidates() {
    std::vector<std::filesystem::path> dirs;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        dirs.push_back(self.parent_path() / "../lib/pictorelle"); // the build tree's layout
#ifdef PICTORELLE_FLASH_MODULE_RELATIVE_DIR
        dirs.push_back(self.parent_path() / ".." / PICTORELLE_FLASH_MODULE_RELATIVE_DIR);
#endif
    }
#ifdef PICTORELLE_FLASH_MODULE_INSTALL_DIR
    dirs.emplace_back(PICTORELLE_FLASH_MODULE_INSTALL_DIR);
#endif
#ifdef PICTORELLE_FLASH_MODULE_BUILD_DIR
    dirs.emplace_back(PICTORELLE_FLASH_MODULE_BUILD_DIR);
#endif
    return dirs;
}

// Loaded once, on first need, and kept to the end: the web engine does not survive unloading.
// Null when no module could be loaded; the reason is in why.
const FlashModule* Module(std::string* why = nullptr) {
    static std::string failure;
    static const FlashModule* loaded = []() -> const FlashModule* {
        failure = "this player was built without Qt WebEngine";
#ifdef PICTORELLE_WEBENGINE
        failure = "the Flash player module was not found";
        for (const auto& dir : ModuleCandidates()) {
            const std::filesystem::path file = dir / flash::kModuleFile;
            if (!std::filesystem::is_regular_file(file)) continue;
            void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* error = dlerror();
                failure = error ? error : "the Flash player module could not be loaded";
                continue;
            }
            static FlashModule m;
            m.prepare =
                reinterpret_cast<PictorelleFlashPrepare*>(dlsym(handle, flash::kPrepareSymbol));
            m.create =
                reinterpret_cast<PictorelleFlashCreate*>(dlsym(handle, flash::kCreateSymbol));
            m.stop = reinterpret_cast<PictorelleFlashStop*>(dlsym(handle, flash::kStopSymbol));
            if (m.prepare && m.create && m.stop) return &m;
            failure = "the Flash player module lacks its entry points";
        }
#endif
        return nullptr;
    }();
    if (why) *why = failure;
    return loaded;
}

} // namespace

bool ShowPlaysFlash(const std::string& programFile) {
    try {
        const Package package = ReadPackage(FileSource(programFile));
        if (package.Header.FlashControlSize > 0) return true;
        for (const ItemRecord& item : package.Items)
            if (ItemKindOf(item.Ext) == TItemKind::Flash) return true;
    } catch (const PictorelleError&) {
        // The window reads the package again and says what is wrong with it.
    }
    return false;
}

void PrepareFlashPlayer() {
    gPrepareTried = true;
    if (const FlashModule* m = Module()) {
        m->prepare();
        gPrepared = true;
    }
}

std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget& parent) {
    if (!gPrepared) {
        std::string why = "the web engine was not prepared before the application";
        if (gPrepareTried) Module(&why); // why the module could not be had
        throw FlashPlayerUnavailable(why);
    }
    char reason[256] = {};
    TShockWaveFlashEx* player = Module()->create(&parent, reason, sizeof reason);
    if (!player) throw FlashPlayerUnavailable(reason);
    return std::unique_ptr<TShockWaveFlashEx>(player);
}

void StopFlashPlayers() {
    if (gPrepared) Module()->stop();
}

} // namespace pictorelle
