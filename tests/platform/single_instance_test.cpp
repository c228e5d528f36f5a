#include "platform/single_instance.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUuid>

#include <gtest/gtest.h>

namespace {
QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "single_instance_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}
}  // namespace

TEST(SingleInstance, SecondInstanceActivatesTheFirstAndYields) {
    App();
    const QString socket =
        QStringLiteral("plovane-test-") + QUuid::createUuid().toString(QUuid::Id128);
    TSingleInstance first(QStringLiteral("Plovane"), socket);
    ASSERT_TRUE(first.TryBecomePrimary());

    QEventLoop loop;
    bool activated = false;
    first.SetOnActivate([&] {
        activated = true;
        loop.quit();
    });

    TSingleInstance second(QStringLiteral("Plovane"), socket);
    EXPECT_FALSE(second.TryBecomePrimary());

    // Safety net only: the activation normally ends the loop at once.
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(activated);
}

TEST(SingleInstance, StaleSocketFromACrashedInstanceIsTakenOver) {
    App();
    const QString socket =
        QStringLiteral("plovane-test-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        TSingleInstance crashed(QStringLiteral("Plovane"), socket);
        ASSERT_TRUE(crashed.TryBecomePrimary());
    }
    TSingleInstance next(QStringLiteral("Plovane"), socket);
    EXPECT_TRUE(next.TryBecomePrimary());
}

TEST(SingleInstance, SocketNameIsPerUser) {
    TSingleInstance instance(QStringLiteral("Plovane"));
    EXPECT_TRUE(instance.SocketName().startsWith(QStringLiteral("Plovane-")));
}
