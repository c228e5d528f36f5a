#include "batch/worker_registry.h"

bool TqvThreadStringList::LockedAdd(const QString& AKey, TObject AObject) {
    const std::lock_guard lock(FLock);
    return FItems.emplace(AKey, std::move(AObject)).second;
}

bool TqvThreadStringList::LockedRemove(const QString& AKey) {
    const std::lock_guard lock(FLock);
    return FItems.erase(AKey) > 0;
}

const TqvThreadStringList::TObject* TqvThreadStringList::NormalRetrieve(const QString& AKey) const {
    const auto it = FItems.find(AKey);
    return it == FItems.end() ? nullptr : &it->second;
}
