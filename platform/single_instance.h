#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// Keeps the program to one running instance per user. The first instance listens on a local
// socket named after the application identifier and the user; a later instance finds it,
// asks it to raise its main window, and learns that it must end.
class TSingleInstance {
public:
    // AApplicationId: a fixed identifier unique to the program. ASocketName overrides the
    // derived socket name (tests use a private one).
    explicit TSingleInstance(QString AApplicationId, QString ASocketName = {});
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when this process is the first instance and now owns the channel; false when
    // another instance is running (it has been asked to raise its window).
    bool TryBecomePrimary();

    // Called in the primary instance when a later instance asks it to raise its window.
    void SetOnActivate(std::function<void()> AHandler);

    const QString& SocketName() const { return FSocketName; }

private:
    void HandleConnection();

    QString FSocketName;
    std::unique_ptr<QLocalServer> FServer;
    std::function<void()> FOnActivate;
};
