#include "plugin_host/plugin_call_watch.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

using namespace std::chrono_literals;

// The lines the watch writes, and a wait for the n-th one.
class TWrittenLines {
public:
    void Add(const QString& ALine) {
        {
            const std::lock_guard lock(FLock);
            FLines << ALine;
        }
        FChanged.notify_all();
    }
    // Waits until there are ACount lines (a minute at most: a failure, not a hang).
    QStringList WaitFor(qsizetype ACount) {
        std::unique_lock lock(FLock);
        FChanged.wait_for(lock, 60s, [&] { return FLines.size() >= ACount; });
        return FLines;
    }
    QStringList Lines() {
        const std::lock_guard lock(FLock);
        return FLines;
    }

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    QStringList FLines;
};

}  // namespace

// A call running past the limit is told once, naming the plugin, the entry point and the path;
// calls that end in time are never told.
TEST(PluginCallWatch, ACallRunningPastTheLimitIsToldOnce) {
    TWrittenLines written;
    TPluginCallWatchSetup setup;
    setup.WarnAfter = 20ms;
    setup.WarnWriter = [&](const QString& ALine) { written.Add(ALine); };
    TPluginCallWatching watching(setup);

    { const TPluginCallScope quick("PluginWorkPath", QStringLiteral("/m/quick.so"), {}); }
    std::optional<TPluginCallScope> slow;
    slow.emplace("PluginWorkPath", QStringLiteral("/m/slow.so"), QStringLiteral("/w/a b.txt"));
    const QStringList first = written.WaitFor(1);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0],
              QStringLiteral("  Plugin \"/m/slow.so\" has been working on one call for more than "
                             "0.02 seconds and goes on (not counted as a problem): entry point "
                             "\"PluginWorkPath\", path \"/w/a b.txt\".\r\n"));
    // The slow call goes on past a later call's deadline: had it been told again, its line
    // would stand before the later call's.
    std::optional<TPluginCallScope> later;
    later.emplace("PluginSetupWorkEnd", QStringLiteral("/m/later.so"), QString());
    const QStringList both = written.WaitFor(2);
    ASSERT_EQ(both.size(), 2);
    EXPECT_TRUE(both[1].contains(QStringLiteral("\"/m/later.so\"")));
    EXPECT_TRUE(both[1].endsWith(QStringLiteral("entry point \"PluginSetupWorkEnd\".\r\n")));
    slow.reset();
    later.reset();
    EXPECT_EQ(written.Lines().size(), 2);
}
