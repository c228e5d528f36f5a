#pragma once

#include <QString>

#include <map>
#include <mutex>
#include <variant>

class TPluginStoredLibInfo;

// A sorted list of unique keys with objects, guarded by its own lock. The batch keeps its
// running workers in one: "<thread id>_Plugins" holds the plugin descriptor (not owned),
// "<thread id>_Files" the work path, so a plugin's report from inside its work call finds the
// path and the plugin through the calling thread.
class TqvThreadStringList {
public:
    using TObject = std::variant<TPluginStoredLibInfo*, QString>;

    // Adds under the lock; false when the key exists already.
    bool LockedAdd(const QString& AKey, TObject AObject);
    // Removes under the lock; false when the key did not exist.
    bool LockedRemove(const QString& AKey);
    // The caller holds the lock: the object of a key, or null.
    const TObject* NormalRetrieve(const QString& AKey) const;
    void Lock() { FLock.lock(); }
    void Unlock() { FLock.unlock(); }

    static QString PluginsKey(std::int64_t AThreadId) {
        return QString::number(AThreadId) + QStringLiteral("_Plugins");
    }
    static QString FilesKey(std::int64_t AThreadId) {
        return QString::number(AThreadId) + QStringLiteral("_Files");
    }

private:
    std::mutex FLock;
    std::map<QString, TObject> FItems;
};
