#include "media/flash/FlashModule.h"

#include "media/flash/RuffleHost.h"

#include <cstdio>
#include <exception>

#define PICTORELLE_EXPORT extern "C" __attribute__((visibility("default")))

PICTORELLE_EXPORT void pictorelle_flash_prepare() {
    pictorelle::flash::PrepareWebEngine();
}

PICTORELLE_EXPORT pictorelle::TShockWaveFlashEx* pictorelle_flash_create(QWidget* parent, char* why,
                                                                         size_t whySize) {
    try {
        return pictorelle::flash::CreateRufflePlayer(*parent).release();
    } catch (const std::exception& e) {
        std::snprintf(why, whySize, "%s", e.what());
    } catch (...) {
        std::snprintf(why, whySize, "the Flash player failed to start");
    }
    return nullptr;
}

PICTORELLE_EXPORT void pictorelle_flash_stop() {
    pictorelle::flash::StopWebEngine();
}
